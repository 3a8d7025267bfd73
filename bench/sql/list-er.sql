-- The hours of one risk table per volunteer, with the activity: the rows of list ER.
SELECT COGN, NOME, ORET@TABLE@, DATAINATT, DATAFIATT, DESCRATT
FROM ATTIVDETT
WHERE ORET@TABLE@ > 0
ORDER BY COGN, NOME;
