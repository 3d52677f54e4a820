@%
rem
x
ƒ\ƒtƒg.exe %1
