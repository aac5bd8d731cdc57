#!/usr/bin/env python3
"""Turns a network whose links work independently, each with its own probability, into the
weighted monotone formula whose weighted count is the probability that two terminals stay
connected (the two-terminal reliability):

    python3 scripts/network_cuts.py examples/dodecahedron.net -o examples/dodecahedron.cnf
    monocount --problem examples/dodecahedron.cnf ...

The network file has one link per line, "U V P": two vertex names (any words without blanks)
and the probability P that the link works, a decimal (0.999, 1e-9) or a fraction (1/3) between 0
and 1. A line "terminals S T" names the terminals (or --terminals S T, which takes precedence).
"#" starts a comment; blank lines are skipped. Parallel links are links of their own; a loop
(U = V) never matters and gets no clause.

The formula: variable i is link i (in file order), true when the link works, weighted P on its
positive literal (its negative literal then weighs 1 - P); one clause per minimal cut separating
the terminals, holding the cut's links. The terminals are connected exactly when every minimal
cut keeps a working link, so the weighted count is the probability that they stay connected,
and its complement the probability that they are cut apart. Terminals that no path joins give
one empty clause (probability 0).

Minimal cuts are the link sets delta(X) with S in X, T not in X, and both X and its complement
connected (within the part of the network that holds the terminals). They are listed by
backtracking on one vertex at a time, next to X, put in X or kept out of it; a branch is taken
only when a cut still exists on it, so every branch ends in a distinct cut (the listing costs a
few graph searches per cut and vertex). More cuts than --max-cuts are refused: exit status 1 and
a message with the count reached. Bad input is refused with the file, the line and the reason.
"""

import argparse
import fractions
import re
import sys

# What the reader of monocount takes as a weight: a decimal, or a fraction of two decimals.
DECIMAL = r"(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?"
WEIGHT = re.compile(rf"{DECIMAL}(?:/{DECIMAL})?")


class InputRefused(Exception):
    pass


def read_network(path, text):
    """(links, terminals) from the network text: links as (u, v, probability text), terminals as
    a pair of names or None."""
    links, terminals = [], None
    for number, line in enumerate(text.splitlines(), start=1):
        fields = line.split("#", 1)[0].split()
        if not fields:
            continue
        where = f"{path}:{number}: "
        if fields[0] == "terminals":
            if len(fields) != 3:
                raise InputRefused(where + 'expected "terminals S T"')
            if terminals is not None:
                raise InputRefused(where + "second terminals line")
            terminals = (fields[1], fields[2])
            continue
        if len(fields) != 3:
            raise InputRefused(where + f'expected "U V P" (two vertices and a probability), found {len(fields)} fields')
        probability = fields[2]
        if not WEIGHT.fullmatch(probability):
            raise InputRefused(where + f'expected a probability (such as 0.999, 1e-9 or 1/3), found "{probability}"')
        numerator, _, denominator = probability.partition("/")
        if fractions.Fraction(numerator) > fractions.Fraction(denominator or "1"):
            raise InputRefused(where + f"probability {probability} is not between 0 and 1")
        links.append((fields[0], fields[1], probability))
    return links, terminals


def minimal_cuts(links, source, target, limit):
    """The minimal source-target cuts as sorted lists of link indices (0-based), in a fixed
    order; [[]] when no path joins the terminals. Raises InputRefused past `limit` cuts."""
    names = sorted({u for u, _, _ in links} | {v for _, v, _ in links})
    index = {name: i for i, name in enumerate(names)}
    for terminal in (source, target):
        if terminal not in index:
            raise InputRefused(f'terminal "{terminal}" is the end of no link')
    if source == target:
        raise InputRefused("the terminals are the same vertex")
    neighbours = [0] * len(names)  # bit masks
    for u, v, _ in links:
        if u != v:
            neighbours[index[u]] |= 1 << index[v]
            neighbours[index[v]] |= 1 << index[u]
    s, t = 1 << index[source], 1 << index[target]

    def reach(start, avoid):
        """The vertices reachable from `start` (a mask) without entering `avoid`."""
        seen = frontier = start
        while frontier:
            step = 0
            while frontier:
                low = frontier & -frontier
                step |= neighbours[low.bit_length() - 1]
                frontier ^= low
            frontier = step & ~avoid & ~seen
            seen |= frontier
        return seen

    part = reach(s, 0)  # the vertices the terminals' part of the network holds
    if not part & t:
        return [[]]

    def cut_exists(inside, outside):
        # A connected X with inside in X and outside not in X, its complement in the part connected
        # too, exists exactly when `outside` lies in one piece of the part without `inside`.
        return outside & ~reach(t, inside) == 0

    cuts = []
    stack = [(s, t)]  # (in X, kept out of X); X connected, a cut exists
    while stack:
        inside, outside = stack.pop()
        border = 0
        rest = inside
        while rest:
            low = rest & -rest
            border |= neighbours[low.bit_length() - 1]
            rest ^= low
        border &= part & ~inside & ~outside
        if not border:  # nothing can join X any more: X is inside
            if len(cuts) == limit:
                raise InputRefused(f"more than {limit} minimal cuts ({limit} listed so far): raise --max-cuts")
            cuts.append(
                [i for i, (u, v, _) in enumerate(links) if ((inside >> index[u]) & 1) != ((inside >> index[v]) & 1)]
            )
            continue
        v = border & -border
        # Pushed last, popped first: the branch with v in X before the one without.
        if cut_exists(inside, outside | v):
            stack.append((inside, outside | v))
        if cut_exists(inside | v, outside):
            stack.append((inside | v, outside))
    return cuts


def write_formula(out, source_name, links, terminals, cuts):
    out.write("c t wmc\n")
    out.write(f"c two-terminal reliability of {source_name}: terminals {terminals[0]} and {terminals[1]}, ")
    out.write(f"{len(links)} links, {len(cuts)} minimal cuts\n")
    out.write("c variable i is link i, true when it works\n")
    for i, (u, v, _) in enumerate(links, start=1):
        out.write(f"c link {i} {u} {v}\n")
    out.write(f"p cnf {len(links)} {len(cuts)}\n")
    for i, (_, _, probability) in enumerate(links, start=1):
        out.write(f"c p weight {i} {probability} 0\n")
    for cut in cuts:
        out.write(" ".join(str(i + 1) for i in cut) + (" 0\n" if cut else "0\n"))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("network", help="the network file ('-' reads standard input)")
    parser.add_argument("--terminals", nargs=2, metavar=("S", "T"), help="the two terminals")
    parser.add_argument("--max-cuts", type=int, default=1_000_000, help="refuse beyond this many cuts (default 1000000)")
    parser.add_argument("-o", "--output", default="-", help="the formula file ('-', the default: standard output)")
    options = parser.parse_args(argv)
    name = "<stdin>" if options.network == "-" else options.network
    try:
        try:
            if options.network == "-":
                text = sys.stdin.read()
            else:
                with open(options.network, encoding="utf-8") as file:
                    text = file.read()
        except (OSError, UnicodeDecodeError) as error:
            raise InputRefused(f"{name}: cannot read: {error}") from None
        links, terminals = read_network(name, text)
        terminals = tuple(options.terminals) if options.terminals else terminals
        if terminals is None:
            raise InputRefused(f'{name}: no terminals: give a line "terminals S T" or --terminals S T')
        try:
            cuts = minimal_cuts(links, terminals[0], terminals[1], options.max_cuts)
        except InputRefused as error:
            raise InputRefused(f"{name}: {error}") from None
    except InputRefused as error:
        print(f"network_cuts.py: {error}", file=sys.stderr)
        return 1
    if options.output == "-":
        write_formula(sys.stdout, name, links, terminals, cuts)
    else:
        with open(options.output, "w", encoding="utf-8") as out:
            write_formula(out, name, links, terminals, cuts)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
