"""The ctypes ModuleRecord against the C header, compiled here, and the library."""

import ctypes
import re
import subprocess

from conftest import ROOT

import brimtally
from brimtally import _library

HEADER = ROOT / "library" / "include" / "brimtally.h"


def test_mirror_matches_the_compiled_header(tmp_path):
    body = re.search(r"typedef struct ModuleRecord \{(.*?)\} ModuleRecord;", HEADER.read_text(), re.S)
    names = re.findall(r"(\w+)(?:\[\w+\])?;", body.group(1))
    assert names == [f[0] for f in brimtally.ModuleRecord._fields_]
    lines = "".join(
        f'printf("%zu %zu\\n", offsetof(ModuleRecord, {n}), sizeof(((ModuleRecord*)0)->{n}));'
        for n in names
    )
    source = tmp_path / "offsets.c"
    source.write_text(
        '#include <stdio.h>\n#include "brimtally.h"\nint main(void) {'
        + lines
        + 'printf("%zu\\n", sizeof(ModuleRecord)); return 0; }\n'
    )
    subprocess.run(["cc", "-I", str(HEADER.parent), "-o", tmp_path / "offsets", source], check=True)
    printed = subprocess.run([tmp_path / "offsets"], capture_output=True, text=True, check=True)
    mirror = [f"{getattr(brimtally.ModuleRecord, n).offset} {getattr(brimtally.ModuleRecord, n).size}" for n in names]
    assert printed.stdout.splitlines() == mirror + [str(ctypes.sizeof(brimtally.ModuleRecord))]


def test_seed_pattern_lands_in_the_mirrored_fields():
    record = _library.library().btInitDLL(None)
    assert _library.library().btSeedDLL(ctypes.byref(record)) == 0
    assert (record.Status, record.ConfigBits, record.AnalogIn5, record.Frequency) == (1, 2, 8, 23)
    assert (list(record.HighLimit), list(record.LowLimit)) == (list(range(9, 20, 2)), list(range(10, 21, 2)))
    assert (record.SpareWord, list(record.SerialNumber), record.Totalizer) == (33, list(range(100, 108)), 34)
    assert (record.PwmPercent, record.Debounce, record.ReplyTimeout) == (36, 37, 30)
