#!/usr/bin/env python3
"""Holds the include order of src/: fails on an include that points up the room order or that
closes a circle of includes between files.

Rooms, lowest first (a file may include from its own room and from the rooms below it):
  app, then the engine's core, formats, decode, steps (with steps/draw), write, inputs, run,
  then themes and online, then cli and gui, then main.cpp.
Rooms of one rank (themes and online, cli and gui) are siblings: neither includes the other.

A file and its header count as one unit (page_loader.h and page_loader.cpp), so a.cpp including
b.h while b.cpp includes a.h is a circle even though no header includes itself.

  scripts/check-includes.py [SRC_DIR]     exit status 0 when the order holds, 1 otherwise
"""

import pathlib
import re
import sys

RANKS = [
    ["app"],
    ["engine/core"],
    ["engine/formats"],
    ["engine/decode"],
    ["engine/steps"],
    ["engine/write"],
    ["engine/inputs"],
    ["engine/run"],
    ["themes", "online"],
    ["cli", "gui"],
    ["main"],
]
RANK_OF = {room: rank for rank, rooms in enumerate(RANKS) for room in rooms}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def room_of(unit):
    """The room of a unit path relative to src/ ("engine/run/pipeline" -> "engine/run")."""
    parts = unit.split("/")
    if parts[0] == "engine":
        return "engine/" + parts[1] if len(parts) > 2 else "engine"
    return parts[0] if len(parts) > 1 else "main"


def unit_of(path):
    return str(path.with_suffix("")) if path.suffix in (".h", ".cpp", ".in") else str(path)


def read_includes(src):
    """(including unit, included unit, file, line) for every quoted include below src."""
    found = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        rel = path.relative_to(src)
        text = path.read_text(encoding="utf-8")
        for match in INCLUDE.finditer(text):
            target = pathlib.PurePosixPath(match.group(1))
            line = text.count("\n", 0, match.start()) + 1
            found.append((unit_of(rel), unit_of(target), str(rel), line))
    return found


def upward_problems(includes):
    problems = []
    for source, target, file, line in includes:
        if source == target:
            continue
        source_room, target_room = room_of(source), room_of(target)
        if target_room not in RANK_OF:
            problems.append(f"{file}:{line}: includes {target} from unknown room {target_room}")
            continue
        if source_room not in RANK_OF:
            problems.append(f"{file}:{line}: {source_room} is not a known room")
            continue
        if source_room == target_room:
            continue
        if RANK_OF[target_room] > RANK_OF[source_room]:
            problems.append(f"{file}:{line}: {source_room} includes {target} from {target_room}, "
                            "a room above it")
        elif RANK_OF[target_room] == RANK_OF[source_room]:
            problems.append(f"{file}:{line}: {source_room} includes {target} from its sibling "
                            f"{target_room}")
    return problems


def circles(includes):
    """The strongly connected groups of more than one unit (Tarjan's algorithm)."""
    graph = {}
    for source, target, _, _ in includes:
        if source != target:
            graph.setdefault(source, set()).add(target)
            graph.setdefault(target, set())
    index, low, on_stack, stack, groups = {}, {}, set(), [], []

    def visit(start):
        # Iterative, so a deep chain of includes cannot exhaust Python's recursion limit.
        work = [(start, iter(sorted(graph[start])))]
        index[start] = low[start] = len(index)
        stack.append(start)
        on_stack.add(start)
        while work:
            node, edges = work[-1]
            advanced = False
            for nxt in edges:
                if nxt not in index:
                    index[nxt] = low[nxt] = len(index)
                    stack.append(nxt)
                    on_stack.add(nxt)
                    work.append((nxt, iter(sorted(graph[nxt]))))
                    advanced = True
                    break
                if nxt in on_stack:
                    low[node] = min(low[node], index[nxt])
            if advanced:
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                group = set()
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    group.add(member)
                    if member == node:
                        break
                if len(group) > 1:
                    groups.append(group)

    for node in sorted(graph):
        if node not in index:
            visit(node)
    return groups


def circle_problems(includes):
    problems = []
    for group in circles(includes):
        edges = sorted(f"{file}:{line} -> {target}" for source, target, file, line in includes
                       if source in group and target in group and source != target)
        problems.append("circle of includes between " + ", ".join(sorted(group)) + ":\n    "
                        + "\n    ".join(edges))
    return problems


def main():
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else
                       pathlib.Path(__file__).resolve().parent.parent / "src")
    includes = read_includes(src)
    problems = upward_problems(includes) + circle_problems(includes)
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        print(f"include order: {len(problems)} problem(s)", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
