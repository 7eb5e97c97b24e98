# Fails unless the configure presets that cross-compile for Linux are named
# after the rows of cmake/architectures.txt but the native one, in its order.
import json
import sys

table = [row.split()[0] for row in open("cmake/architectures.txt") if row[:1].isalpha() and row.split()[2] != "-"]
presets = [p["name"] for p in json.load(open("CMakePresets.json"))["configurePresets"] if p.get("inherits") == "linux-cross"]
if table != presets:
    sys.exit("cmake/architectures.txt lists %s but CMakePresets.json has cross presets %s" % (table, presets))
