-- Every activity, newest first, with its volunteers and their hours: the rows of list ED.
SELECT a.DATAINATT, a.DATAFIATT, a.DESCRATT, a.LOCATT, a.PROVATT,
       a.OREUOMO, a.ORET0, a.ORET6, a.ORET7, a.ORET8, a.ORET9, a.ORET10,
       d.COGN, d.NOME, d.OREUOMO, d.ORET0, d.ORET6, d.ORET7, d.ORET8, d.ORET9, d.ORET10
FROM ATTIVITA a LEFT JOIN ATTIVDETT d ON d.DESCRATT = a.DESCRATT AND d.DATAINATT = a.DATAINATT
ORDER BY a.NOTE4 DESC, a.DESCRATT, d.COGN, d.NOME;
