-- Hours per volunteer and risk class over the period, with the busiest week of R7 (the Monday to
-- Sunday week of an activity's start), for the volunteers with hours in R6-R10.
WITH period AS (
    SELECT COGN, ifnull(NOME, '') AS NOME, ORET0, ORET6, ORET7, ORET8, ORET9, ORET10,
           substr(DATAINATT, 7, 4) || '-' || substr(DATAINATT, 4, 2) || '-' || substr(DATAINATT, 1, 2) AS START
    FROM ATTIVDETT
    WHERE substr(DATAINATT, 7, 4) || substr(DATAINATT, 4, 2) || substr(DATAINATT, 1, 2) BETWEEN '@FROM@' AND '@TO@'),
weeks AS (
    SELECT COGN, NOME, sum(ORET7) AS R7
    FROM period
    GROUP BY COGN, NOME, date(START, '-6 days', 'weekday 1')),
busiest AS (
    SELECT COGN, NOME, max(R7) AS R7 FROM weeks GROUP BY COGN, NOME)
SELECT p.COGN || ' ' || p.NOME, sum(ORET0), sum(ORET6), sum(ORET7), sum(ORET8), sum(ORET9), sum(ORET10), b.R7
FROM period p JOIN busiest b ON b.COGN = p.COGN AND b.NOME = p.NOME
GROUP BY p.COGN, p.NOME
HAVING sum(ORET6 + ORET7 + ORET8 + ORET9 + ORET10) > 0
ORDER BY p.COGN, p.NOME;
