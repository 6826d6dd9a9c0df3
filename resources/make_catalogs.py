#!/usr/bin/env python3
"""Writes the module's translation catalogs, or checks that the committed ones are current.

Each catalog is an empty binary translation catalog (.qm): the format's 16-byte signature and,
for a language with more than one plural form, one numerus-rules block. Nothing else goes in:
no messages, no hash table and no language block, so the bytes depend on this table alone.

    python3 make_catalogs.py            rewrite catalogs/*.qm
    python3 make_catalogs.py --check    exit 1 if a committed catalog differs from the table
"""

import pathlib
import struct
import sys

SIGNATURE = bytes.fromhex("3cb86418caef9c95cd211cbf60a1bddd")
NUMERUS_RULES_TAG = 0x88

# Operators of the numerus-rule byte code, as the .qm readers decode them.
EQ = 0x01
LT = 0x02
LEQ = 0x03
BETWEEN = 0x04
NOT = 0x08
MOD_100 = 0x20
GEQ = NOT | LT
NEW_RULE = 0xFF

# One rule per plural form but the last, which takes every count the rules before it miss.
# A rule is an operator followed by its operands.
ONE_IS_SINGULAR = [[EQ, 1]]
ZERO_AND_ONE_ARE_SINGULAR = [[LEQ, 1]]
NO_PLURAL_FORMS = []

CATALOGS = {
    "de_DE": ONE_IS_SINGULAR,
    "en_GB": ONE_IS_SINGULAR,
    "es_ES": ONE_IS_SINGULAR,
    "it_IT": ONE_IS_SINGULAR,
    "fr_FR": ZERO_AND_ONE_ARE_SINGULAR,
    "fr_CA": ZERO_AND_ONE_ARE_SINGULAR,
    "pt_BR": ZERO_AND_ONE_ARE_SINGULAR,
    "ga_IE": [[EQ, 1], [EQ, 2]],
    "ar_YE": [[EQ, 0], [EQ, 1], [EQ, 2], [MOD_100 | BETWEEN, 3, 10], [MOD_100 | GEQ, 11]],
    "ja_JP": NO_PLURAL_FORMS,
    "ko_KR": NO_PLURAL_FORMS,
    "zh_CN": NO_PLURAL_FORMS,
    "zh_TW": NO_PLURAL_FORMS,
}

CATALOG_DIR = pathlib.Path(__file__).resolve().parent / "catalogs"


def catalog_bytes(rules):
    data = bytearray(SIGNATURE)
    if rules:
        code = bytearray()
        for index, rule in enumerate(rules):
            if index > 0:
                code.append(NEW_RULE)
            code.extend(rule)
        data.append(NUMERUS_RULES_TAG)
        data.extend(struct.pack(">I", len(code)))
        data.extend(code)
    return bytes(data)


def catalog_path(locale):
    return CATALOG_DIR / f"KQRC_MODSTRINGS_{locale}.qm"


def main(argv):
    check = argv[1:] == ["--check"]
    if argv[1:] and not check:
        print(__doc__, file=sys.stderr)
        return 2

    stale = []
    for locale, rules in CATALOGS.items():
        path = catalog_path(locale)
        wanted = catalog_bytes(rules)
        if check:
            if not path.is_file() or path.read_bytes() != wanted:
                stale.append(path.name)
        else:
            path.write_bytes(wanted)

    listed = {catalog_path(locale).name for locale in CATALOGS}
    stray = sorted(p.name for p in CATALOG_DIR.glob("*.qm") if p.name not in listed)
    for name in stale:
        print(f"{name} differs from the table in make_catalogs.py", file=sys.stderr)
    for name in stray:
        print(f"{name} is not in the table in make_catalogs.py", file=sys.stderr)
    return 1 if stale or stray else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
