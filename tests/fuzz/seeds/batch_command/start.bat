@echo off
rem Starts the manager server
cd /d %~dp0
"C:\Program Files\Veltra Corvane\mgrserver.exe" run demo %1
