@echo off
rem The command prompt of the Start menu's "command prompt" entry: ldctl.exe and DriverPanel.exe
rem on its PATH, from the folder this script sits in (the install folder, or an unzipped copy).
rem It starts in the user's own folder, where a recording can be written; Program Files cannot.
set "PATH=%~dp0;%PATH%"
cd /d "%USERPROFILE%"
ldctl --version
echo "ldctl list" lists the serial ports, "ldctl --help" the commands.
