"""Validates JSON files against a JSON Schema: validate_json.py SCHEMA FILE...

Prints one line per problem and exits 1 when any file does not conform (or the schema itself
is not a valid Draft 2020-12 schema)."""
import json
import sys

import jsonschema


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        schema = json.load(f)
    validator_class = jsonschema.validators.validator_for(schema)
    validator_class.check_schema(schema)
    validator = validator_class(schema, format_checker=validator_class.FORMAT_CHECKER)
    failed = False
    for path in sys.argv[2:]:
        with open(path, encoding="utf-8") as f:
            document = json.load(f)
        for error in validator.iter_errors(document):
            failed = True
            where = "/".join(str(p) for p in error.absolute_path)
            print(f"{path}: {where}: {error.message}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
