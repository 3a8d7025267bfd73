; Starts Sentaro in the user's working folder, Documenti\Sentaro, making it (and putting the header
; picture in it) when missing: the program works in the folder it is started in.
Unicode true
Target amd64-unicode
Name "Sentaro"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SilentInstall silent
Icon "${NSISDIR}\Contrib\Graphics\Icons\modern-install.ico"

Section
  SetShellVarContext current
  ClearErrors
  CreateDirectory "$DOCUMENTS\Sentaro"
  IfErrors 0 +3
    MessageBox MB_ICONSTOP "Non è possibile creare la cartella di lavoro $DOCUMENTS\Sentaro."
    Quit
  ; A picture the user chose is never replaced.
  IfFileExists "$DOCUMENTS\Sentaro\intestazione.jpg" +2
    CopyFiles /SILENT "$EXEDIR\intestazione.jpg" "$DOCUMENTS\Sentaro\intestazione.jpg"
  SetOutPath "$DOCUMENTS\Sentaro"
  ClearErrors
  Exec '"$EXEDIR\sentaro.exe"'
  IfErrors 0 +2
    MessageBox MB_ICONSTOP "Non è possibile avviare $EXEDIR\sentaro.exe."
SectionEnd
