#!/usr/bin/python3
"""Validates JSON Lines against tavisk-cli's schema.

Usage: check-json-lines.py SCHEMA FILE...  Each FILE holds the JSON lines of
runs, each run's lines ending with its verdict; every line must parse and
match the schema.  Prints each line that does not, and exits 1 then.
"""
import json
import sys

import jsonschema


def main():
    with open(sys.argv[1], encoding="utf-8") as schema_file:
        schema = json.load(schema_file)
    validator_class = jsonschema.validators.validator_for(schema)
    validator_class.check_schema(schema)
    validator = validator_class(schema)
    bad = 0
    checked = 0
    for path in sys.argv[2:]:
        with open(path, encoding="utf-8", errors="surrogateescape") as lines:
            for number, line in enumerate(lines, 1):
                checked += 1
                try:
                    errors = [e.message for e in validator.iter_errors(json.loads(line))]
                except ValueError as error:
                    errors = [str(error)]
                if errors:
                    bad += 1
                    print(f"{path}:{number}: {'; '.join(errors)}\n    {line.rstrip()}")
    if checked == 0:
        print("no JSON lines to check")
        return 1
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
