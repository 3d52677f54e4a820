@echo off
rem Stops the manager server
cd /d %~dp0
java -cp lib\manager.jar com.example.Stop %1 %2
