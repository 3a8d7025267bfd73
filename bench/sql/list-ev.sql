-- The volunteers in alphabetical order: the rows of list EV.
SELECT COGN || ' ' || NOME FROM VOLO ORDER BY COGN, NOME;
