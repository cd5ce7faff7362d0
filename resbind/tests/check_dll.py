#!/usr/bin/env python3
"""check_dll.py RESBIND.DLL OBJDUMP C_HOST.EXE: the 32-bit DLL exports exactly the five entry
points, under their plain names, as pefile and objdump both read them, and a C program built
against its import library imports them by those names."""
import subprocess
import sys

import pefile

EXPECTED = ['BindToExe', 'GetResBindVersion', 'GetResObjSize', 'RemoveFromExe', 'WriteResObj']

dll, objdump = sys.argv[1], sys.argv[2]
pe = pefile.PE(dll)
problems = []
if pe.FILE_HEADER.Machine != 0x14c or not pe.is_dll():
    problems.append('not a 32-bit x86 DLL')
if pe.get_warnings():
    problems.append(f'pefile warnings: {pe.get_warnings()}')
names = sorted(e.name.decode() for e in pe.DIRECTORY_ENTRY_EXPORT.symbols)
if names != EXPECTED:
    problems.append(f'pefile exports {names}')
dump = subprocess.run([objdump, '-p', dll], capture_output=True, text=True, check=True).stdout
table = dump[dump.index('[Ordinal/Name Pointer] Table'):]
listed = sorted(line.split(']')[1].strip() for line in table.splitlines()[1:] if line.strip().startswith('['))
if listed != EXPECTED:
    problems.append(f'objdump exports {listed}')
imported = sorted(i.dll.decode().lower() for i in pe.DIRECTORY_ENTRY_IMPORT)
if any(d.startswith(('libstdc++', 'libgcc', 'libwinpthread')) for d in imported):
    problems.append(f'needs MinGW runtime DLLs: {imported}')
host = pefile.PE(sys.argv[3])
wanted = {d.dll.decode().lower(): sorted(i.name.decode() for i in d.imports) for d in host.DIRECTORY_ENTRY_IMPORT}
if wanted.get('resbind.dll') != ['GetResBindVersion', 'GetResObjSize', 'WriteResObj']:
    problems.append(f'the C host imports {wanted.get("resbind.dll")}')
print('\n'.join(problems) or f'exports: {", ".join(names)}')
sys.exit(1 if problems else 0)
