#!/usr/bin/env python3
"""Holds every source file under src/ to the include table in src/layers.txt.

    scripts/check_layers.py [SRC_FOLDER]

Prints one line per include that the table does not allow, with the file, the line and the rule it
breaks, and exits 1 when there is any; exits 0 when every include is allowed and 2 when the table
itself cannot be read.
"""

import os
import re
import sys

# The C++ standard library's headers (C++20), and the C headers in their C++ form.
STD_HEADERS = set("""
algorithm any array atomic barrier bit bitset charconv chrono codecvt compare complex concepts
condition_variable coroutine deque exception execution expected filesystem format forward_list fstream
functional future initializer_list iomanip ios iosfwd iostream istream iterator latch limits list locale
map memory memory_resource mutex new numbers numeric optional ostream queue random ranges ratio regex
scoped_allocator semaphore set shared_mutex source_location span sstream stack stdexcept stop_token
streambuf string string_view syncstream system_error thread tuple type_traits typeindex typeinfo
unordered_map unordered_set utility valarray variant vector version
cassert cctype cerrno cfenv cfloat cinttypes climits clocale cmath csetjmp csignal cstdarg cstddef
cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype
""".split())

POSIX_HEADERS = set("""
dirent.h dlfcn.h errno.h fcntl.h ftw.h limits.h poll.h pthread.h pwd.h signal.h spawn.h stdlib.h
string.h time.h unistd.h grp.h
""".split())
POSIX_FOLDERS = ("sys/", "linux/", "netinet/", "arpa/")

WIN32_HEADERS = set("""
windows.h commctrl.h exdisp.h exdispid.h lmcons.h mshtml.h ocidl.h ole2.h oleauto.h objbase.h shellapi.h
shlobj.h shlwapi.h winsvc.h winreg.h mmsystem.h io.h fcntl.h process.h
""".split())

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCE_SUFFIXES = (".h", ".cc", ".cpp", ".hpp")


class Rule:
    def __init__(self, folder, allowed, system_kinds, line):
        self.folder = folder
        self.allowed = allowed
        self.system_kinds = system_kinds
        self.line = line

    def text(self):
        return "%s may include %s | %s" % (
            self.folder, " ".join(self.allowed) or "-", " ".join(self.system_kinds))


def read_table(path):
    rules = {}
    exceptions = set()
    generated = set()
    with open(path, encoding="utf-8") as table:
        for number, raw in enumerate(table, 1):
            line = raw.split("#", 1)[0].strip()
            if not line:
                continue
            words = line.split()
            if words[0] == "exception":
                exceptions.update(words[1:])
                continue
            if words[0] == "generated":
                generated.update(words[1:])
                continue
            if "|" not in line:
                raise ValueError("%s:%d: a folder line needs '|' before its system headers" % (path, number))
            left, right = line.split("|", 1)
            left_words = left.split()
            allowed = [w for w in left_words[1:] if w != "-"]
            rules[left_words[0]] = Rule(left_words[0], allowed, right.split(), number)
    for rule in rules.values():
        for folder in rule.allowed:
            if folder not in rules:
                raise ValueError("%s:%d: %s names an unknown folder %s" % (path, rule.line, rule.folder, folder))
    return rules, exceptions, generated


def folder_of(relative, rules):
    """The table's folder that holds `relative` (a path under src/): the longest folder that is a prefix."""
    best = None
    for folder in rules:
        if relative.startswith(folder + "/") and (best is None or len(folder) > len(best)):
            best = folder
    return best


def system_header_allowed(header, kinds):
    for kind in kinds:
        if kind == "std" and header in STD_HEADERS:
            return True
        if kind == "posix" and (header in POSIX_HEADERS or header.startswith(POSIX_FOLDERS)):
            return True
        if kind == "win32" and header.lower() in WIN32_HEADERS:
            return True
        if kind == "qt" and re.fullmatch(r"Q[A-Za-z]+(/Q[A-Za-z]+)?", header):
            return True
        if kind.endswith("/") and header.startswith(kind):
            return True
        if kind == header:
            return True
    return False


def check(src):
    table = os.path.join(src, "layers.txt")
    try:
        rules, exceptions, generated = read_table(table)
    except (OSError, ValueError) as error:
        print("check_layers: %s" % error, file=sys.stderr)
        return 2

    problems = []
    for root, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith(SOURCE_SUFFIXES):
                continue
            path = os.path.normpath(os.path.join(root, name))
            relative = os.path.relpath(path, src).replace(os.sep, "/")
            folder = folder_of(relative, rules)
            if folder is None:
                problems.append("%s: the folder of this file has no line in %s" % (path, table))
                continue
            rule = rules[folder]
            with open(path, encoding="utf-8", errors="replace") as source:
                for number, line in enumerate(source, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    quote, header = match.groups()
                    if quote == "<":
                        if not system_header_allowed(header, rule.system_kinds):
                            problems.append("%s:%d: includes <%s>, not a system header that %s may use (%s)"
                                            % (path, number, header, folder, rule.text()))
                        continue
                    if header in exceptions or header in generated:
                        continue
                    target = folder_of(header, rules)
                    if target is None:
                        problems.append("%s:%d: includes \"%s\", which lies in no folder of %s"
                                        % (path, number, header, table))
                    elif target != folder and target not in rule.allowed:
                        problems.append("%s:%d: includes \"%s\" of %s, which %s may not include (%s)"
                                        % (path, number, header, target, folder, rule.text()))
    for problem in problems:
        print(problem)
    if problems:
        print("check_layers: %d include(s) break the rule in %s" % (len(problems), table), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    sys.exit(check(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "src")))
