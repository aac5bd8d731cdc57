"""The network script: cut formulas of small networks whose cuts are known, its refusals, the
committed dodecahedron example, and the cut formula against connectivity itself on every link
state of small random networks. Run by CTest as: python3 network_cuts_test.py SOURCE_DIR"""

import itertools
import os
import random
import subprocess
import sys
import tempfile
import unittest

SOURCE = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
SCRIPT = os.path.join(SOURCE, "scripts", "network_cuts.py")


def run(network, *options, cwd=None):
    """(exit status, clause lines or the message) of the script on the network text."""
    with tempfile.NamedTemporaryFile("w", suffix=".net", delete=False) as file:
        file.write(network)
    try:
        done = subprocess.run([sys.executable, SCRIPT, file.name, *options], capture_output=True, text=True, cwd=cwd)
    finally:
        os.unlink(file.name)
    if done.returncode != 0:
        return done.returncode, done.stderr.replace(file.name, "NET").strip()
    return 0, [line for line in done.stdout.splitlines() if line and line[0] not in "cp"]


BRIDGE = "terminals s t\ns a 0.9\ns b 0.9\na b 0.9\na t 0.9\nb t 0.9\n"


class NetworkCuts(unittest.TestCase):
    def test_cut_formulas_and_refusals(self):
        cases = [
            # network, options, clauses (the count and one of them) or the message after "network_cuts.py: NET"
            (BRIDGE, [], (4, "1 3 5 0")),
            ("s a 1/2\na t 1/2\nt b 1/2\nb s 1/2\n", ["--terminals", "s", "t"], (4, "1 4 0")),
            ("terminals s t\ns t 0.5 # parallel links and a loop\ns t 0.5\ns s 0.5\n", [], (1, "1 2 0")),
            ("terminals s t\ns a 0.5\nb t 0.5\n", [], (1, "0")),  # never connected
            (BRIDGE, ["--max-cuts", "3"], ": more than 3 minimal cuts (3 listed so far): raise --max-cuts"),
            ("s a 0.5\ns b\n", ["--terminals", "s", "a"], ':2: expected "U V P" (two vertices and a probability), found 2 fields'),
            ("s a 1.5\n", ["--terminals", "s", "a"], ":1: probability 1.5 is not between 0 and 1"),
            ("s a -0.5\n", ["--terminals", "s", "a"], ':1: expected a probability (such as 0.999, 1e-9 or 1/3), found "-0.5"'),
            ("terminals s\n", [], ':1: expected "terminals S T"'),
            ("s a 0.5\n", [], ': no terminals: give a line "terminals S T" or --terminals S T'),
            ("s a 0.5\n", ["--terminals", "s", "x"], ': terminal "x" is the end of no link'),
        ]
        for network, options, expected in cases:
            status, output = run(network, *options)
            if isinstance(expected, str):
                self.assertEqual((status, output), (1, "network_cuts.py: NET" + expected))
            else:
                self.assertEqual((status, len(output), expected[1] in output), (0, expected[0], True), network)

    def test_dodecahedron_example_is_current(self):
        example = os.path.join("examples", "dodecahedron")
        with tempfile.TemporaryDirectory() as scratch:
            produced = os.path.join(scratch, "out.cnf")
            subprocess.run([sys.executable, SCRIPT, example + ".net", "-o", produced], check=True, cwd=SOURCE)
            with open(produced) as new, open(os.path.join(SOURCE, example + ".cnf")) as committed:
                self.assertEqual(new.read(), committed.read())

    def test_every_cut_is_minimal_and_the_formula_is_connectivity(self):
        generator = random.Random(7)
        for _ in range(20):
            vertices = generator.randint(3, 6)
            links = [tuple(generator.sample(range(vertices), 2)) for _ in range(generator.randint(2, 9))]
            network = "terminals 0 1\n" + "".join(f"{u} {v} 0.5\n" for u, v in links)
            if not any(1 in link for link in links) or not any(0 in link for link in links):
                continue
            status, clauses = run(network)
            self.assertEqual(status, 0)
            cuts = [set(map(int, clause.split()[:-1])) for clause in clauses]
            self.assertFalse(any(a <= b for a, b in itertools.permutations(cuts, 2)), network)  # distinct, minimal
            for state in range(1 << len(links)):
                working = {i + 1 for i in range(len(links)) if state >> i & 1}
                reached, frontier = {0}, [0]
                while frontier:
                    x = frontier.pop()
                    for i, (u, v) in enumerate(links):
                        if i + 1 in working and x in (u, v) and (y := u + v - x) not in reached:
                            reached.add(y)
                            frontier.append(y)
                self.assertEqual(1 in reached, all(cut & working for cut in cuts), (network, state))


if __name__ == "__main__":
    unittest.main()
