#pragma once

// Copies into VOLO every volunteer of voloesp.mdb whose surname and first name are not
// there yet, counting in the main window's caption as it goes.
void importavolontari();
