@echo off
rem Runs the Capability Checker build for this machine and leaves its report
rem on a share as SHARE\%COMPUTERNAME%.txt, for CapabilitySummary to read.
rem
rem   collect-capability.cmd SHARE
rem
rem Deploy it as it is, beside the folders x64, x86 and arm64 of the release:
rem from a Group Policy startup script, a scheduled task, Intune or
rem Configuration Manager. It never waits for a key. Exit status 0 when the
rem report reached the share; otherwise 1 (2 for a usage error) and one line
rem on standard error, so that the deployment shows the failure.
rem
rem Plain commands and goto only, each result tested on the spot with
rem "if errorlevel": the command processors it meets differ in "&&", "||"
rem and blocks.
setlocal EnableExtensions DisableDelayedExpansion

set "SHARE=%~1"
if not defined SHARE goto usage
if "%SHARE:~-1%"=="\" set "SHARE=%SHARE:~0,-1%"
if not exist "%SHARE%\" goto no_share

rem The machine's own architecture: a 32-bit process on 64-bit Windows (a
rem deployment agent, say) sees x86 in PROCESSOR_ARCHITECTURE and the
rem machine's in PROCESSOR_ARCHITEW6432.
set "MACHINE=%PROCESSOR_ARCHITECTURE%"
if defined PROCESSOR_ARCHITEW6432 set "MACHINE=%PROCESSOR_ARCHITEW6432%"
set "BUILD="
if /i "%MACHINE%"=="AMD64" set "BUILD=x64"
if /i "%MACHINE%"=="x86" set "BUILD=x86"
if /i "%MACHINE%"=="ARM64" set "BUILD=arm64"
if not defined BUILD goto no_build
set "CHECKER=%~dp0%BUILD%\CapabilityChecker.exe"
if not exist "%CHECKER%" goto no_checker

rem The report is written locally first: the checker takes up to a minute,
rem and the share must never hold half a report under the name the summary
rem reads. Nothing on standard input, so the checker goes on past its pause.
if not defined TEMP set "TEMP=%SystemRoot%\Temp"
set "LOCAL=%TEMP%\capability-%COMPUTERNAME%-%RANDOM%%RANDOM%.txt"
"%CHECKER%" "%LOCAL%" <nul >nul 2>nul
find "Endpoint OS" "%LOCAL%" >nul 2>nul
if errorlevel 1 goto no_report
for %%F in ("%LOCAL%") do set "SIZE=%%~zF"

rem Onto the share under a name the summary does not read (*.tmp), checked
rem whole, then renamed over the previous report in one step.
set "TARGET=%SHARE%\%COMPUTERNAME%.txt"
set "PARTIAL=%SHARE%\%COMPUTERNAME%.%RANDOM%%RANDOM%.tmp"
copy /y "%LOCAL%" "%PARTIAL%" >nul 2>nul
if errorlevel 1 goto not_placed
for %%F in ("%PARTIAL%") do if not "%%~zF"=="%SIZE%" goto not_placed
move /y "%PARTIAL%" "%TARGET%" >nul 2>nul
if errorlevel 1 goto not_placed
if exist "%PARTIAL%" goto not_placed
del /f /q "%LOCAL%" >nul 2>nul
exit /b 0

:usage
>&2 echo collect-capability: usage: collect-capability.cmd SHARE
exit /b 2

:no_share
>&2 echo collect-capability: the share "%SHARE%" cannot be reached
exit /b 1

:no_build
>&2 echo collect-capability: no build for the processor architecture "%MACHINE%"
exit /b 1

:no_checker
>&2 echo collect-capability: "%CHECKER%" is missing
exit /b 1

:no_report
del /f /q "%LOCAL%" >nul 2>nul
>&2 echo collect-capability: the checker wrote no whole report to "%LOCAL%"
exit /b 1

:not_placed
del /f /q "%PARTIAL%" >nul 2>nul
del /f /q "%LOCAL%" >nul 2>nul
>&2 echo collect-capability: the report could not be placed as "%TARGET%"
exit /b 1
