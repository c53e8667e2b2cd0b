#!/usr/bin/python3
"""Runs the README's examples and recipes as written.

Usage: readme-examples.py README.md EXAMPLES-FOLDER FOLDER-OF-TAVISK-CLI

Every indented "$ COMMAND" line runs, in order and in one shell, in a copy of
the examples folder; what it writes (standard output and error together) must
be the lines the README shows below it.  Every ```sh block runs in a folder
with a small source tree (src/a, src/b) and must end with status 0 and leave
an output for every source; a block that sums up JSON verdicts must give the
verdict the README promises, and a failure when a job left no verdict.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

MARK = "\x1e"  # starts the output of each command


def parse_examples(readme):
    """(command, expected) pairs; an example's output ends at a blank or unindented line."""
    pairs = []
    current = None
    for line in readme.splitlines():
        if line.startswith("    $ "):
            current = (line[6:], [])
            pairs.append(current)
        elif current is not None and line.startswith("    "):
            current[1].append(line[4:])
        else:
            current = None
    return [(command, "\n".join(lines)) for command, lines in pairs]


def sh_blocks(readme):
    return re.findall(r"^```sh\n(.*?)^```", readme, re.S | re.M)


def run_examples(readme, examples_dir, env):
    pairs = parse_examples(readme)
    if len(pairs) < 5:
        return [f"only {len(pairs)} examples found"]
    work = tempfile.mkdtemp()
    try:
        folder = os.path.join(work, "ex")
        shutil.copytree(examples_dir, folder)
        script = ""
        for number, (command, _) in enumerate(pairs):
            # The mark must not change $?, which an example may print.
            script += f"s=$?; printf '\\n{MARK}%d\\n' {number}; (exit $s)\n{command}\n"
        done = subprocess.run(["/bin/sh", "-c", script], cwd=folder, env=env, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=120)
        outputs = done.stdout.decode("utf-8", "replace").split(MARK)[1:]
        problems = []
        for (command, expected), output in zip(pairs, outputs):
            got = output.split("\n", 1)[1] if "\n" in output else ""
            if got.rstrip("\n") != expected.rstrip("\n"):
                problems.append(f"$ {command}\n--- the README shows:\n{expected}\n--- it gives:\n{got}")
        if len(outputs) != len(pairs):
            problems.append(f"{len(pairs)} examples, {len(outputs)} ran")
        return problems
    finally:
        shutil.rmtree(work)


def make_tree(folder):
    for sub, count in (("a", 7), ("b", 5)):
        os.makedirs(os.path.join(folder, "src", sub))
        for i in range(count):
            with open(os.path.join(folder, "src", sub, f"{sub}{i}.txt"), "w") as f:
                f.write(f"a colour {i}\nno match\n")


def run_recipes(readme, env):
    blocks = sh_blocks(readme)
    if len(blocks) < 2:
        return [f"only {len(blocks)} sh blocks found"]
    problems = []
    for block in blocks:
        work = tempfile.mkdtemp()
        try:
            make_tree(work)
            done = subprocess.run(["/bin/sh", "-e", "-c", block], cwd=work, env=env, stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, timeout=300)
            sources = sorted(name for _, _, names in os.walk(os.path.join(work, "src")) for name in names)
            outputs = sorted(name for _, _, names in os.walk(os.path.join(work, "out"))
                             for name in names if name.endswith(".txt") and not name.startswith("response-"))
            what = f"```sh\n{block}```\n"
            if done.returncode != 0:
                problems.append(f"{what}exit {done.returncode}: {done.stderr.decode(errors='replace')}")
            elif outputs != sources:
                problems.append(f"{what}outputs {outputs}, sources {sources}")
            elif "jq" in block:
                summary = json.loads(done.stdout.decode().strip().splitlines()[-1])
                if summary.get("exit") != 0 or summary.get("written") != len(sources):
                    problems.append(f"{what}summary {summary}")
                # A job that left no verdict must fail the summary.
                open(os.path.join(work, "results-1.jsonl"), "w").close()
                summary_only = block[block.index("cat results-"):]
                again = subprocess.run(["/bin/sh", "-c", summary_only], cwd=work, env=env, stdout=subprocess.PIPE)
                summary = json.loads(again.stdout.decode().strip().splitlines()[-1])
                if summary.get("exit") != 3 or summary.get("verdict") != "":
                    problems.append(f"{what}a job without a verdict gives the summary {summary}")
        finally:
            shutil.rmtree(work)
    return problems


def main():
    readme_path, examples_dir, cli_dir = sys.argv[1:4]
    with open(readme_path, encoding="utf-8") as f:
        readme = f.read()
    env = dict(os.environ, PATH=os.path.abspath(cli_dir) + os.pathsep + os.environ.get("PATH", ""), LC_ALL="C")
    env.pop("NO_COLOR", None)
    problems = run_examples(readme, examples_dir, env) + run_recipes(readme, env)
    for problem in problems:
        print(problem, end="\n\n")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
