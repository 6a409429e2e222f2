@echo off
rem Ежедневное архивирование базы данных
echo Идет архивирование, подождите...
if not exist C:\ARC\NUL md C:\ARC
arj a -r C:\ARC\BASE.ARJ C:\BASE\*.DBF > NUL
if errorlevel 1 goto error
echo Архив успешно создан.
goto end
:error
echo Ошибка при создании архива! Проверьте свободное место на диске.
pause
:end
