#!/usr/bin/env python3
"""make_seeds.py DIR: small valid inputs for the fuzz targets, for builds without the MinGW
fixtures: a resource file, and an executable with code, imports, resources and relocations."""
import struct
import sys
from pathlib import Path


def res_entry(typ, name, data, lang=0x409):
    def ident(i):
        return struct.pack('<HH', 0xFFFF, i) if isinstance(i, int) else (i + '\0').encode('utf-16-le')
    head = ident(typ) + ident(name)
    head += b'\0' * (-(8 + len(head)) % 4)
    head += struct.pack('<IHHII', 0, 0x1030, lang, 0, 0)
    entry = struct.pack('<II', len(data), 8 + len(head)) + head + data
    return entry + b'\0' * (-len(entry) % 4)


def res_file():
    strings = b''.join(struct.pack('<H', len(s)) + s.encode('utf-16-le') for s in ['', 'one', 'two'] + [''] * 13)
    group = struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHIH', 16, 16, 0, 0, 1, 32, 40, 1)
    signature = struct.pack('<IIHHHH', 0, 32, 0xFFFF, 0, 0xFFFF, 0) + b'\0' * 16
    return (signature + res_entry(5, 100, b'dialog') + res_entry('NAMED', 'DATA', b'12345')
            + res_entry(6, 1, strings) + res_entry(3, 1, b'\0' * 40) + res_entry(14, 'APP', group))


def pe_file():
    """.text, .rdata (imports), .rsrc, .data, .reloc; the data section follows the resources."""
    fa, sa, base = 0x200, 0x1000, 0x400000
    names = [b'.text', b'.rdata', b'.rsrc', b'.data', b'.reloc']
    vas = [0x1000 * (i + 1) for i in range(5)]
    text = b'\xa1' + struct.pack('<I', base + 0x4000) + b'\xc3'              # mov eax, [data]; ret
    rdata = bytearray(0x100)                                                  # one import: K32!Sleep
    struct.pack_into('<IIIII', rdata, 0, 0x2040, 0, 0, 0x2060, 0x2050)
    struct.pack_into('<II', rdata, 0x40, 0x2070, 0)
    struct.pack_into('<II', rdata, 0x50, 0x2070, 0)
    rdata[0x60:0x6d] = b'KERNEL32.dll\0'
    rdata[0x70:0x78] = b'\0\0Sleep\0'
    rsrc = bytearray(0x60)
    struct.pack_into('<IIHHHH', rsrc, 0, 0, 0, 0, 0, 0, 1)
    data = struct.pack('<I', base + 0x4004) + b'data'                          # a pointer to itself
    reloc = struct.pack('<IIHH', 0x1000, 12, 0x3001, 0) + struct.pack('<IIHH', 0x4000, 12, 0x3000, 0)
    bodies = [text, bytes(rdata), bytes(rsrc), data, reloc]
    headers = bytearray(0x400)
    headers[0:2] = b'MZ'
    struct.pack_into('<I', headers, 60, 0x80)
    headers[0x80:0x84] = b'PE\0\0'
    struct.pack_into('<HHIIIHH', headers, 0x84, 0x14c, 5, 0, 0, 0, 224, 0x102)
    opt = 0x98
    struct.pack_into('<HBBIIIIII', headers, opt, 0x10B, 2, 0, 0x200, 0x800, 0, 0x1000, 0x1000, 0x2000)
    struct.pack_into('<IIIHHHHHHIIIIHH', headers, opt + 28, base, sa, fa, 4, 0, 0, 0, 4, 0, 0,
                     0x6000, 0x400, 0, 3, 0)
    struct.pack_into('<IIIII', headers, opt + 72, 0x100000, 0x1000, 0x100000, 0x1000, 0)
    struct.pack_into('<I', headers, opt + 92, 16)
    for i, (rva, size) in {1: (0x2000, 40), 2: (0x3000, 0x60), 5: (0x5000, 24), 12: (0x2050, 8)}.items():
        struct.pack_into('<II', headers, opt + 96 + 8 * i, rva, size)
    raw, out = 0x400, b''
    for i, (name, va, body) in enumerate(zip(names, vas, bodies)):
        size = -(-len(body) // fa) * fa
        struct.pack_into('<8sIIII12xI', headers, opt + 224 + 40 * i, name, len(body), va, size, raw,
                         0x60000020 if i == 0 else 0x40000040)
        out += body + b'\0' * (size - len(body))
        raw += size
    return bytes(headers) + out


out = Path(sys.argv[1])
out.mkdir(parents=True, exist_ok=True)
(out / 'seed.res').write_bytes(res_file())
(out / 'seed.exe').write_bytes(pe_file())
