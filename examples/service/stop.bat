@echo off
rem Stops the stand-in server. Brisnode /install stores the fourth line.
cd /d "%~dp0"
cmd /c echo stop>stop.flag
