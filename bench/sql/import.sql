-- The volunteers of another group's export that the register does not have yet.
ATTACH '@IMPORT@' AS esp;
INSERT INTO VOLO
SELECT * FROM esp.VOLO AS n
WHERE NOT EXISTS (SELECT 1 FROM VOLO AS v WHERE v.COGN = n.COGN AND v.NOME = n.NOME);
SELECT changes();
