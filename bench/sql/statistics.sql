-- Hours per volunteer and risk class over the period, as "Elabora" totals them with TUTTI/TUTTI.
SELECT COGN || ' ' || ifnull(NOME, ''),
       sum(ORET0 + ORET6 + ORET7 + ORET8 + ORET9 + ORET10),
       sum(ORET0), sum(ORET6), sum(ORET7), sum(ORET8), sum(ORET9), sum(ORET10)
FROM ATTIVDETT
WHERE substr(DATAINATT, 7, 4) || substr(DATAINATT, 4, 2) || substr(DATAINATT, 1, 2) BETWEEN '@FROM@' AND '@TO@'
GROUP BY COGN, NOME
HAVING sum(ORET0 + ORET6 + ORET7 + ORET8 + ORET9 + ORET10) > 0
ORDER BY COGN, NOME;
