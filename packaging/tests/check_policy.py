"""Checks the Group Policy templates as the Group Policy editor reads them: both
files are well-formed XML, every text and presentation the ADMX names is in the
ADML, every box of a presentation refers to an element of its policy, and
every policy sits in a category the ADMX defines.

    python3 check_policy.py POLICY-FOLDER
"""

import re
import sys
import xml.etree.ElementTree as ET

NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
REF = re.compile(r"^\$\((string|presentation)\.([^)]+)\)$")


def main(folder):
    problems = []
    try:
        admx = ET.parse(f"{folder}/tickwell.admx").getroot()
        adml = ET.parse(f"{folder}/en-US/tickwell.adml").getroot()
    except (OSError, ET.ParseError) as error:
        print(f"FAIL: {error}")
        return 1
    strings = {s.get("id") for s in adml.iterfind(".//p:stringTable/p:string", NS)}
    presentations = {p.get("id"): p for p in adml.iterfind(".//p:presentationTable/p:presentation", NS)}
    categories = {c.get("name") for c in admx.iterfind(".//p:categories/p:category", NS)}

    for element in admx.iter():
        for name, value in element.attrib.items():
            match = REF.match(value)
            if not match:
                continue
            kind, ident = match.groups()
            table = strings if kind == "string" else presentations
            if ident not in table:
                problems.append(f"{element.get('name') or element.tag}: {name} names "
                                f"{kind} '{ident}', which the ADML lacks")

    policies = list(admx.iterfind(".//p:policies/p:policy", NS))
    if not policies:
        problems.append("no policies")
    for policy in policies:
        name = policy.get("name")
        parent = policy.find("p:parentCategory", NS)
        if parent is None or parent.get("ref") not in categories:
            problems.append(f"{name}: not in a defined category")
        ids = {e.get("id") for e in policy.iterfind("p:elements/*", NS)}
        ref = policy.get("presentation")
        if ids and not ref:
            problems.append(f"{name}: elements without a presentation")
        if ref:
            shown = presentations.get(REF.match(ref).group(2)) if REF.match(ref) else None
            refs = {box.get("refId") for box in shown.iter() if box.get("refId")} if shown is not None else set()
            for missing in sorted(refs - ids):
                problems.append(f"{name}: its presentation refers to '{missing}', no element of it")
            for unshown in sorted(ids - refs):
                problems.append(f"{name}: element '{unshown}' is in no box of its presentation")

    for problem in problems:
        print(f"FAIL: {problem}")
    print(f"policy templates in {folder}: {len(policies)} policies, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
