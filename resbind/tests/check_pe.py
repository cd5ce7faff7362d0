#!/usr/bin/env python3
"""Runs the resbind command over real resource files and executables made by the MinGW-w64
tools, and reads the results back with pefile, llvm-readobj and objdump."""
import argparse
import re
import shutil
import struct
import subprocess
import sys
from pathlib import Path

import pefile

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print('FAIL:', what)


def load(path):
    pe = pefile.PE(str(path))
    check(pe.get_warnings() == [], f'{path.name}: pefile warnings {pe.get_warnings()}')
    return pe


def entry_name(e):
    return str(e.name) if e.name is not None else f'#{e.id}'


def tree(pe):
    """(type, name, language) -> data, from the resource directory."""
    out = {}
    if not hasattr(pe, 'DIRECTORY_ENTRY_RESOURCE'):
        return out
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for n in t.directory.entries:
            for lang in n.directory.entries:
                d = lang.data.struct
                key = (entry_name(t), entry_name(n), lang.id)
                check(key not in out, f'duplicate directory entry {key}')
                out[key] = pe.get_data(d.OffsetToData, d.Size)
    return out


def sort_key(e):
    if e.name is not None:
        units = struct.unpack(f'<{len(str(e.name))}H', str(e.name).encode('utf-16-le'))
        return (0, units)
    return (1, e.id)


def check_sorted(pe, label):
    def walk(directory, depth):
        keys = [sort_key(e) for e in directory.entries]
        check(keys == sorted(keys) and len(set(keys)) == len(keys),
              f'{label}: directory entries out of order {keys}')
        for e in directory.entries:
            if depth < 2:
                walk(e.directory, depth + 1)
    walk(pe.DIRECTORY_ENTRY_RESOURCE, 0)


def check_groups(pe, label):
    """Every member of a cursor or icon group names an image that exists."""
    t = tree(pe)
    for (typ, name, lang), data in t.items():
        if typ not in ('#12', '#14'):
            continue
        image = '#1' if typ == '#12' else '#3'
        count = struct.unpack_from('<H', data, 4)[0]
        for i in range(count):
            member = struct.unpack_from('<H', data, 6 + 14 * i + 12)[0]
            check((image, f'#{member}', lang) in t, f'{label}: group {name} member {member} missing')


def members(data):
    count = struct.unpack_from('<H', data, 4)[0]
    return [struct.unpack_from('<H', data, 6 + 14 * i + 12)[0] for i in range(count)]


def imports(pe):
    return [(i.dll, [(x.name, x.ordinal) for x in i.imports]) for i in pe.DIRECTORY_ENTRY_IMPORT]


def relocations(pe):
    out = set()
    for block in getattr(pe, 'DIRECTORY_ENTRY_BASERELOC', []):
        for e in block.entries:
            if e.type:
                out.add((e.rva, e.type, pe.get_dword_at_rva(e.rva)))
    return out


def exports(pe):
    if not hasattr(pe, 'DIRECTORY_ENTRY_EXPORT'):
        return []
    return [(e.name, e.ordinal, e.address) for e in pe.DIRECTORY_ENTRY_EXPORT.symbols]


def readobj_leaves(tool, path):
    """(type, name, language, size) of every resource as llvm-readobj reports it."""
    run = subprocess.run([tool, '--coff-resources', str(path)], capture_output=True, text=True)
    check(run.returncode == 0 and not run.stderr, f'llvm-readobj {path.name}: {run.stderr}')
    leaves, typ, name, lang = [], None, None, None
    for line in run.stdout.splitlines():
        if m := re.match(r'\s*Type: (.*) \[$', line):
            typ = m.group(1)
        elif m := re.match(r'\s*Name: (.*) \[$', line):
            name = m.group(1)
        elif m := re.match(r'\s*Language: \(ID (\d+)\) \[$', line):
            lang = int(m.group(1))
        elif m := re.match(r'\s*DataSize: (\d+)$', line):
            leaves.append((typ, name, lang, int(m.group(1))))
    total = re.search(r'Total Number of Resources: (\d+)', run.stdout)
    check(total and int(total.group(1)) == len(leaves), f'llvm-readobj {path.name}: resource count')
    return sorted(leaves)


def objdump(tool, path):
    run = subprocess.run([tool, '-p', '-h', str(path)], capture_output=True, text=True)
    check(run.returncode == 0 and not run.stderr, f'objdump {path.name}: {run.stderr}')
    return run.stdout


def section_names(dump):
    return {m.group(1) for m in re.finditer(r'^\s+\d+ (\S+)\s+[0-9a-f]{8}', dump, re.M)}


def section_data(pe):
    """Raw data of every section but the resource section, in table order."""
    return [s.get_data() for s in pe.sections if s.Name.rstrip(b'\0') != b'.rsrc']


def resbind(args, cwd, expect=0):
    run = subprocess.run([ARGS.resbind] + args, cwd=cwd, capture_output=True, text=True)
    check(run.returncode == expect, f'resbind {" ".join(args)} exited {run.returncode}: {run.stderr}')
    return run


def check_rebound(out, original, reference, label, tools=True):
    """out was made from original with the resources of reference."""
    pe, old = load(out), load(original)
    ref = load(reference)
    check(tree(pe) == tree(ref), f'{label}: resource tree differs from GNU ld\'s: '
          f'{sorted(set(tree(pe)) ^ set(tree(ref)))}')
    check_sorted(pe, label)
    check_groups(pe, label)
    check(imports(pe) == imports(old), f'{label}: imports changed')
    check(exports(pe) == exports(old), f'{label}: exports changed')
    check(relocations(pe) == relocations(old), f'{label}: relocations changed')
    check(section_data(pe) == section_data(old), f'{label}: section data changed')
    check(pe.OPTIONAL_HEADER.AddressOfEntryPoint == old.OPTIONAL_HEADER.AddressOfEntryPoint,
          f'{label}: entry point moved')
    check_checksum(pe, old, label)
    last = pe.sections[-1]
    check(pe.OPTIONAL_HEADER.SizeOfImage == last.VirtualAddress +
          -(-max(last.Misc_VirtualSize, last.SizeOfRawData) // pe.OPTIONAL_HEADER.SectionAlignment)
          * pe.OPTIONAL_HEADER.SectionAlignment, f'{label}: SizeOfImage')
    if tools:
        check(readobj_leaves(ARGS.readobj, out) == readobj_leaves(ARGS.readobj, reference),
              f'{label}: llvm-readobj sees other resources than in GNU ld\'s')
        dump = objdump(ARGS.objdump, out)
        rsrc = pe.OPTIONAL_HEADER.DATA_DIRECTORY[2]
        check(f'Entry 2 {rsrc.VirtualAddress:08x} {rsrc.Size:08x} Resource Directory' in dump,
              f'{label}: objdump sees no resource directory')
        # Long section names live in the symbol table's strings after the sections.
        check(section_names(dump) - {'.rsrc'} == section_names(objdump(ARGS.objdump, original)) - {'.rsrc'},
              f'{label}: objdump lists other sections')


def check_checksum(pe, old, label):
    if old.OPTIONAL_HEADER.CheckSum:
        check(pe.verify_checksum(), f'{label}: image checksum {pe.OPTIONAL_HEADER.CheckSum:#x} '
              f'should be {pe.generate_checksum():#x}')
    else:
        check(pe.OPTIONAL_HEADER.CheckSum == 0, f'{label}: a checksum appeared')


def check_moved(out, original, label):
    """Every address in original that lay in a moved section points to the same thing in out."""
    pe, old = load(out), load(original)
    align = old.OPTIONAL_HEADER.SectionAlignment
    kept_old = [x for x in old.sections if x.Name.rstrip(b'\0') != b'.rsrc']
    kept_new = [x for x in pe.sections if x.Name.rstrip(b'\0') != b'.rsrc']
    check([x.Name for x in kept_old] == [x.Name for x in kept_new], f'{label}: section order')
    spans = [(o.VirtualAddress, -(-max(o.Misc_VirtualSize, o.SizeOfRawData) // align) * align,
              n.VirtualAddress) for o, n in zip(kept_old, kept_new)]
    check(any(a != b for a, _, b in spans), f'{label}: nothing moved, the case tests nothing')

    def rva(r):
        for start, span, new in spans:
            if start <= r < start + span:
                return r - start + new
        return r
    base = old.OPTIONAL_HEADER.ImageBase
    va = lambda v: base + rva(v - base)
    check(pe.OPTIONAL_HEADER.AddressOfEntryPoint == rva(old.OPTIONAL_HEADER.AddressOfEntryPoint),
          f'{label}: entry point')
    for i, (d, e) in enumerate(zip(old.OPTIONAL_HEADER.DATA_DIRECTORY, pe.OPTIONAL_HEADER.DATA_DIRECTORY)):
        if i not in (2, 4) and d.VirtualAddress:
            check((e.VirtualAddress, e.Size) == (rva(d.VirtualAddress), d.Size), f'{label}: directory {i}')
    check(imports(pe) == imports(old), f'{label}: import names')
    check_checksum(pe, old, label)
    check([x.address for i in pe.DIRECTORY_ENTRY_IMPORT for x in i.imports] ==
          [va(x.address) for i in old.DIRECTORY_ENTRY_IMPORT for x in i.imports], f'{label}: IAT slots')
    check([(n, o, a) for n, o, a in exports(pe)] == [(n, o, rva(a)) for n, o, a in exports(old)],
          f'{label}: exports')
    moved_relocs = {(rva(r), t, va(v)) for r, t, v in relocations(old)}
    check(relocations(pe) == moved_relocs, f'{label}: relocations')
    check(len(moved_relocs) > 20, f'{label}: too few relocations to tell')
    sites = {r for r, _, _ in relocations(pe)}
    for o, n in zip(kept_old, kept_new):
        if o.Name.rstrip(b'\0') in (b'.reloc', b'.idata', b'.edata'):
            continue
        a, b = bytearray(o.get_data()), bytearray(n.get_data())
        for r in sites:
            if n.VirtualAddress <= r < n.VirtualAddress + len(b) - 3:
                k = r - n.VirtualAddress
                a[k:k + 4] = b[k:k + 4] = b'....'
        check(a == b, f'{label}: data of {o.Name} changed beyond its relocations')


def main():
    work = Path(ARGS.work)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    fx = Path(ARGS.fixtures)
    for f in fx.iterdir():
        shutil.copy(f, work / f.name)

    # The documented case: two .res files into an executable that has resources.
    run = resbind(['-fe', 'out.exe', 'app.res', 'strings.res', 'withres.exe'], work)
    check(run.stderr == '', f'unexpected messages: {run.stderr}')
    check_rebound(work / 'out.exe', fx / 'withres.exe', fx / 'reference.exe', 'withres')
    check((work / 'withres.exe').read_bytes() == (fx / 'withres.exe').read_bytes(),
          'the input executable changed')

    # In place, into executables with debug information, stripped, a DLL, none before.
    for exe, ref, res in [('debug.exe', 'reference.exe', ['app.res', 'strings.res']),
                          ('stripped.exe', 'reference.exe', ['app.res', 'strings.res']),
                          ('library.dll', 'library.dll', ['app.res']),
                          ('plain.exe', 'withres.exe', ['app.res'])]:
        resbind(res + [exe], work)
        check_rebound(work / exe, fx / exe, fx / ref, exe)
    # Binding again into the result, whose resource section is now the last.
    resbind(['app.res', 'strings.res', 'plain.exe'], work)
    check_rebound(work / 'plain.exe', fx / 'plain.exe', fx / 'reference.exe', 'plain.exe again')

    # Resource sections in front of data, imports and exports: everything after them moves.
    for exe in ('early.exe', 'early.dll'):
        resbind(['-fe', 'moved-' + exe, 'app.res', 'strings.res', 'dup.res', exe], work)
        check_moved(work / ('moved-' + exe), fx / exe, 'bound ' + exe)
        check_groups(load(work / ('moved-' + exe)), 'bound ' + exe)
        objdump(ARGS.objdump, work / ('moved-' + exe))
        resbind([exe], work)
        check_moved(work / exe, fx / exe, 'stripped ' + exe)

    # Removal.
    resbind(['withres.exe'], work)
    pe = load(work / 'withres.exe')
    check(not hasattr(pe, 'DIRECTORY_ENTRY_RESOURCE'), 'removal left resources')
    check(len(pe.sections) == len(load(fx / 'withres.exe').sections) - 1, 'removal: section count')
    check(imports(pe) == imports(load(fx / 'withres.exe')), 'removal: imports changed')
    objdump(ARGS.objdump, work / 'withres.exe')

    # Duplicates: earlier numbered resources, later named types, merged strings, groups.
    run = resbind(['-fe', 'dup.exe', 'app.res', 'dup.res', 'plain.exe'], work)
    for line in ['WARNING. Duplicate resource(s):', '  Type  5 (DIALOG), ID 100:',
                 '  Type MYDATA, ID BLOB:', '  Type  6 (STRING), ID 3:',
                 '    File app.res string kept: "Done"', '    File dup.res string discarded: "Finished"',
                 '  Type 14 (ICON GROUP), ID APPICON:',
                 '    File app.res resource kept; file dup.res resource discarded.',
                 '    File dup.res resource kept; file app.res resource discarded.']:
        check(line in run.stderr.splitlines(), f'duplicates: no line {line!r} in {run.stderr}')
    dup, app, other = tree(load(work / 'dup.exe')), tree(load(fx / 'withres.exe')), res_tree(fx / 'dup.res')
    check_sorted(load(work / 'dup.exe'), 'duplicates')
    check_groups(load(work / 'dup.exe'), 'duplicates')
    us = 1033
    check(dup[('#5', '#100', us)] == app[('#5', '#100', us)], 'duplicates: dialog 100 not the earlier')
    check(dup[('MYDATA', 'BLOB', us)] == other[('MYDATA', 'BLOB', us)], 'duplicates: BLOB not the later')
    block = string_block(dup[('#6', '#1', us)])
    check(block[1:6] == ['Ready', 'Busy', 'Done', '', 'Five'], f'duplicates: merged strings {block}')
    check(dup[('#14', 'APPICON', us)] == app[('#14', 'APPICON', us)], 'duplicates: APPICON group')
    for m in members(app[('#14', 'APPICON', us)]):
        check(dup[('#3', f'#{m}', us)] == app[('#3', f'#{m}', us)], f'duplicates: icon {m}')
    for group, image in [(('#14', 'OTHERICON', us), '#3'), (('#12', '#301', us), '#1')]:
        got, was = members(dup[group]), members(other[group])
        check(len(got) == len(was) and set(got).isdisjoint(members(app.get(
            ('#14', 'APPICON', us) if image == '#3' else ('#12', '#300', us), b'\0' * 6))),
            f'duplicates: {group} members not renumbered: {got}')
        for g, w in zip(got, was):
            check(dup[(image, f'#{g}', us)] == other[(image, f'#{w}', us)], f'duplicates: image {g}')

    # List only: the listing, and nothing written.
    before = (work / 'stripped.exe').read_bytes()
    run = resbind(['-vx', 'app.res', 'stripped.exe'], work)
    check('RESOURCE LIST' in run.stderr and '14 (ICON GROUP)    APPICON' in run.stderr,
          f'-vx listing: {run.stderr}')
    check((work / 'stripped.exe').read_bytes() == before, '-vx changed the executable')

    # Refusals leave the executable as it was.
    (work / 'text.exe').write_bytes(b'not an executable at all, but long enough to have a header ' * 4)
    run = resbind(['app.res', 'text.exe'], work, expect=1)
    check(run.stderr.strip() == 'RESBIND: Executable format not recognized in file "text.exe"',
          f'refusal message: {run.stderr}')
    run = resbind(['-x'], work, expect=1)
    check(run.stderr.strip() == 'Command line argument #1 is bad.', f'bad option: {run.stderr}')
    run = resbind(['-h'], work)
    check(run.stdout.splitlines()[0].startswith('Syntax is:     RESBIND [options]'), 'usage text')
    (work / 'args.txt').write_text('-fe\nfromfile.exe app.res\nplain.exe\n')
    resbind(['@args.txt'], work)
    check(tree(load(work / 'fromfile.exe')) == tree(load(fx / 'withres.exe')), '@file arguments')

    print('\n'.join(failures) if failures else 'all readers agree')
    return 1 if failures else 0


def res_tree(path):
    """(type, name, language) -> data of a 32-bit .res file, read independently."""
    data, at, out = path.read_bytes(), 32, {}
    def ident(p):
        if struct.unpack_from('<H', data, p)[0] == 0xFFFF:
            return f'#{struct.unpack_from("<H", data, p + 2)[0]}', p + 4
        end = p
        while struct.unpack_from('<H', data, end)[0]:
            end += 2
        return data[p:end].decode('utf-16-le'), end + 2
    while at < len(data):
        size, header = struct.unpack_from('<II', data, at)
        typ, p = ident(at + 8)
        name, p = ident(p)
        p = (p + 3) & ~3
        lang = struct.unpack_from('<H', data, p + 6)[0]
        out[(typ, name, lang)] = data[at + header:at + header + size]
        at = (at + header + size + 3) & ~3
    return out


def string_block(data):
    strings, at = [], 0
    for _ in range(16):
        n = struct.unpack_from('<H', data, at)[0]
        strings.append(data[at + 2:at + 2 + 2 * n].decode('utf-16-le'))
        at += 2 + 2 * n
    return strings


if __name__ == '__main__':
    parser = argparse.ArgumentParser()
    for option in ('resbind', 'fixtures', 'readobj', 'objdump', 'work'):
        parser.add_argument('--' + option, required=True)
    ARGS = parser.parse_args()
    sys.exit(main())
