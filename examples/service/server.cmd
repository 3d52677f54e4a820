@echo off
rem A stand-in for a server, started by start.bat: it writes to server.log,
rem then waits, looking once a second for the stop.flag that stop.bat leaves.
if exist stop.flag del stop.flag
echo server started>>server.log
:wait
ping -n 2 127.0.0.1 >nul
if not exist stop.flag goto wait
del stop.flag
echo server stopped>>server.log
