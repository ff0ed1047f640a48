#!/usr/bin/env python3
"""Fails when a file's name does not lead to its code.

In every product folder (subfolders included):
  (a) each .cpp but the entry points (main.cpp, make_*.cpp) has the header of the same name
      beside it;
  (b) that .cpp includes its own header;
  (c) a header without a .cpp declares no function that needs an out-of-line definition (it
      holds only types, inline functions and templates);
  (d) the functions a header declares are defined in its own .cpp (matched by name).
(c) and (d) read declarations with a light parser: comments, strings and preprocessor lines are
dropped, namespace and class bodies are read, function bodies and initialisers are skipped.

usage: check_names.py [SOURCE_DIR]
"""
import os
import re
import sys

FOLDERS = ["core", "raster", "imaging", "batch", "fusion", "composite", "assess", "workflows",
           "ui", "desktop", "cli"]

COMMENT_OR_STRING = re.compile(
    r'//[^\n]*|/\*.*?\*/|R"([^(]*)\(.*?\)\1"|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'',
    re.S)
LABEL = re.compile(r'\b(?:(public|private|protected)(?:\s+(?:slots|Q_SLOTS))?|(signals|Q_SIGNALS))'
                   r'\s*:(?!:)')
SCOPE_OPENER = re.compile(r'\b(namespace|class|struct|union)\b|\bextern\s*$')
FUNCTION = re.compile(r'(~?[A-Za-z_]\w*|operator\s*[^\s(]+|operator\s*\(\s*\))\s*\((.*)\)'
                      r'(?:\s*(?:const|noexcept|override|final|&|&&))*\s*$', re.S)
NOT_A_FUNCTION = re.compile(r'^\s*(using|typedef|return|static_assert|template|Q_[A-Z_]+)\b')


def strip(text):
    """The text without comments, literals and preprocessor lines (line breaks kept)."""
    def blank(match):
        return re.sub(r'[^\n]', ' ', match.group(0)) if match.group(0).startswith('/') else '""'
    text = COMMENT_OR_STRING.sub(blank, text)
    text = re.sub(r'\\\n', ' ', text)
    return re.sub(r'^[ \t]*#[^\n]*', '', text, flags=re.M)


def outside_parens(text):
    """text with everything inside () and [] removed."""
    out, depth = [], 0
    for ch in text:
        if ch in '([':
            depth += 1
        elif ch in ')]':
            depth = max(depth - 1, 0)
        elif depth == 0:
            out.append(ch)
    return ''.join(out)


def read_scopes(text):
    """(declarations, definitions): function names declared with ';' (outside signal sections)
    and names whose body opens in a namespace or class body."""
    declared, defined = [], []
    stack = []          # True: a namespace or class body (read), False: skipped block
    statement = []
    in_signals = [False]
    for ch in strip(text):
        if stack and not stack[-1]:
            if ch == '{':
                stack.append(False)
            elif ch == '}':
                stack.pop()
            continue
        if ch == '{':
            head = ''.join(statement)
            head_tail = LABEL.split(head)[-1] if LABEL.search(head) else head
            transparent = bool(SCOPE_OPENER.search(outside_parens(head_tail))) and \
                '(' not in outside_parens(head_tail.split('=')[0]) and '=' not in head_tail
            if not transparent:
                name = function_name(head_tail, definition=True)
                if name:
                    defined.append(name)
            stack.append(transparent)
            in_signals.append(False)
            statement = []
        elif ch == '}':
            if stack:
                stack.pop()
                in_signals.pop()
            statement = []
        elif ch == ';':
            head = ''.join(statement)
            for match in LABEL.finditer(head):
                in_signals[-1] = bool(match.group(2))
            head = LABEL.split(head)[-1] if LABEL.search(head) else head
            name = function_name(head)
            if name and not in_signals[-1] and '=' not in outside_parens(head):
                declared.append(name)
            elif re.search(r'=\s*(default|delete)\s*$', head):
                name = function_name(re.sub(r'=\s*(default|delete)\s*$', '', head), True)
                if name:
                    defined.append(name)
            statement = []
        else:
            statement.append(ch)
    return declared, defined


def drop_balanced(text, opener, open_ch, close_ch):
    """text without each opener and the balanced open_ch...close_ch group that follows it."""
    while True:
        match = re.search(opener + r'\s*' + re.escape(open_ch), text)
        if not match:
            return text
        depth, end = 0, match.end() - 1
        while end < len(text):
            depth += {open_ch: 1, close_ch: -1}.get(text[end], 0)
            end += 1
            if depth == 0:
                break
        text = text[:match.start()] + ' ' + text[end:]


def function_name(head, definition=False):
    """The unqualified name of the function head declares or defines, or None."""
    head = drop_balanced(head, r'\b(__attribute__)', '(', ')')
    head = re.sub(r'\[\[.*?\]\]', ' ', head, flags=re.S).strip()
    if definition:
        head = drop_balanced(head, r'^\s*template', '<', '>').strip()
    if NOT_A_FUNCTION.match(head):
        return None
    match = FUNCTION.search(head)
    if not match or match.group(2).lstrip().startswith('*'):
        return None
    before = head[:match.start()].strip()
    # Without a type before it the name is a call or an initialiser, unless it is capitalised
    # (a constructor: the code's own functions are PascalCase) or a destructor.
    name = match.group(1).split('::')[-1]
    if not before and not name[0].isupper() and not name.startswith('~'):
        return None
    return re.sub(r'\s+', '', name)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..')
    os.chdir(root)
    problems = []
    for folder in FOLDERS:
        for where, _, files in sorted(os.walk(folder)):
            names = set(files)
            for file in sorted(files):
                path = os.path.join(where, file)
                stem, ext = os.path.splitext(file)
                if ext == '.cpp':
                    if file == 'main.cpp' or file.startswith('make_'):
                        continue
                    header = stem + '.h'
                    if header not in names:
                        problems.append(f'{path}: no header {header} beside it')
                        continue
                    own = os.path.join(where, header)
                    with open(path, encoding='utf-8') as source:
                        if not re.search(r'^\s*#\s*include\s+"' + re.escape(own) + '"',
                                         source.read(), re.M):
                            problems.append(f'{path}: does not include "{own}"')
                elif ext == '.h':
                    with open(path, encoding='utf-8') as source:
                        declared, _ = read_scopes(source.read())
                    source_file = stem + '.cpp'
                    if source_file not in names:
                        for name in dict.fromkeys(declared):
                            problems.append(f'{path}: declares {name}() but has no {source_file}')
                        continue
                    with open(os.path.join(where, source_file), encoding='utf-8') as source:
                        _, defined = read_scopes(source.read())
                    with open(path, encoding='utf-8') as source:
                        defined += read_scopes(source.read())[1]
                    for name in dict.fromkeys(declared):
                        if name not in defined and not name.startswith('operator'):
                            problems.append(f'{path}: {name}() is not defined in {source_file}')
    for problem in problems:
        print(problem)
    if problems:
        print('Each .cpp has the header of its name beside it and implements what that header '
              'declares; a header alone holds only types, inline functions and templates.')
        return 1
    print('names: every .cpp has its header and every header its code')
    return 0


if __name__ == '__main__':
    sys.exit(main())
