# SPDX-License-Identifier: MIT
"""The ctypes ModuleRecord against the C header, compiled here."""

import ctypes
import re
import subprocess

from conftest import ROOT

from brimtally import ModuleRecord as Record

HEADER = ROOT / "library" / "include" / "brimtally.h"


def test_mirror_matches_the_compiled_header(tmp_path):
    body = re.search(r"typedef struct ModuleRecord \{(.*?)\} ModuleRecord;", HEADER.read_text(), re.S)
    names = re.findall(r"(\w+)(?:\[\w+\])?;", body.group(1))
    assert names == [f[0] for f in Record._fields_]
    lines = "".join(f'P(offsetof(ModuleRecord, {n}), sizeof(((ModuleRecord*)0)->{n}));' for n in names)
    source = tmp_path / "offsets.c"
    source.write_text('#include <stdio.h>\n#include "brimtally.h"\n#define P(o, s) printf("%zu %zu\\n", o, s)\n'
                      f'int main(void) {{ {lines} printf("%zu\\n", sizeof(ModuleRecord)); return 0; }}\n')
    subprocess.run(["cc", "-I", str(HEADER.parent), "-o", tmp_path / "offsets", source], check=True)
    printed = subprocess.run([tmp_path / "offsets"], capture_output=True, text=True, check=True)
    mirror = [f"{getattr(Record, n).offset} {getattr(Record, n).size}" for n in names] + [str(ctypes.sizeof(Record))]
    assert printed.stdout.splitlines() == mirror

