@echo off
rem Starts the stand-in server. Brisnode /install stores the fourth line.
cd /d "%~dp0"
cmd /c server.cmd
