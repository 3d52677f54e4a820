@echo off
rem unix line ends
set X=1
server.exe
