"""Checks the Python ctypes example without Windows: it compiles, and every
export it declares matches the C header: the name exists, argtypes has one
entry per parameter with a matching kind, and restype matches the result.
A wrong declaration passes arguments the DLL does not expect, and ctypes
cannot notice that at run time.

    python3 check_ctypes_example.py HEADER EXAMPLE.py
"""

import ast
import re
import sys

# The C type of a parameter or result, and the ctypes spellings that fit it.
FITS = {
    "BSTR": {"BSTR", "c_void_p"},
    "BSTR*": {"POINTER(BSTR)", "POINTER(c_void_p)"},
    "int32_t": {"c_int32", "c_int", "c_long"},
    "int32_t*": {"POINTER(c_int32)", "POINTER(c_int)", "POINTER(c_long)"},
    "uint32_t": {"c_uint32", "c_uint", "c_ulong"},
    "int16_t": {"c_int16", "c_short"},
    "int16_t*": {"POINTER(c_int16)", "POINTER(c_short)"},
    "double": {"c_double"},
    "double*": {"POINTER(c_double)"},
    "SYSTEMTIME*": {"POINTER(SYSTEMTIME)"},
}


def header_functions(path):
    text = open(path, encoding="utf-8").read()
    functions = {}
    for result, name, params in re.findall(
            r"^(\w+)\s+WINAPI\s+(\w+)\(([^)]*)\);", text, re.MULTILINE):
        types = []
        for p in " ".join(params.split()).split(","):
            p = p.strip()
            if p in ("", "void"):
                continue
            # "BSTR* server" -> "BSTR*", "int32_t timeoutSeconds" -> "int32_t"
            m = re.match(r"(\w+)\s*(\*?)\s*\w+$", p)
            types.append(m.group(1) + m.group(2))
        functions[name] = (result, types)
    return functions


def spelled(node):
    return ast.unparse(node).replace("ctypes.", "")


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    header, example = argv[1], argv[2]
    source = open(example, encoding="utf-8").read()
    compile(source, example, "exec")  # a syntax error ends the check here
    functions = header_functions(header)
    problems, declared = [], set()

    for node in ast.walk(ast.parse(source)):
        if not isinstance(node, ast.Assign) or len(node.targets) != 1:
            continue
        target = node.targets[0]
        # zymdate.NAME.argtypes = [...] / zymdate.NAME.restype = ...
        if not (isinstance(target, ast.Attribute) and target.attr in ("argtypes", "restype")
                and isinstance(target.value, ast.Attribute)
                and isinstance(target.value.value, ast.Name)
                and target.value.value.id == "zymdate"):
            continue
        name = target.value.attr
        declared.add(name)
        if name not in functions:
            problems.append("%s is not in %s" % (name, header))
            continue
        result, params = functions[name]
        if target.attr == "restype":
            if spelled(node.value) not in FITS.get(result, {result}):
                problems.append("%s.restype is %s, the header returns %s"
                                % (name, spelled(node.value), result))
            continue
        given = [spelled(e) for e in node.value.elts]
        if len(given) != len(params):
            problems.append("%s.argtypes has %d entries, the header %d parameters"
                            % (name, len(given), len(params)))
            continue
        for i, (g, p) in enumerate(zip(given, params), 1):
            if g not in FITS.get(p, {p}):
                problems.append("%s parameter %d is %s, the header says %s" % (name, i, g, p))

    if not declared:
        problems.append("no zymdate declarations found in %s" % example)
    for p in problems:
        print("FAIL: " + p)
    print("%s: %d exports declared, %s" % (example, len(declared),
                                          "%d problems" % len(problems) if problems else "all match"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
