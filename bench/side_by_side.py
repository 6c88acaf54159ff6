"""Sets benchmark runs saved by `bench/run.py --save` next to each other: each row of the first
run, followed by the same row of the others, with a column that says which stack each ran on
(Python, then the Qt and where PyQt6 got it). The runs must have been made with the same
arguments.

    python3 bench/side_by_side.py FILE FILE...
"""
import json
import sys
from pathlib import Path


def markdown_row(cells):
    return "| " + " | ".join(cells) + " |"


def main(paths):
    runs = [json.loads(Path(path).read_text(encoding="utf-8")) for path in paths]
    for run in runs:
        print(run["machine"])
    for number, first in enumerate(runs[0]["tables"]):
        print(f"\n{first['title']}\n")
        columns = [first["columns"][0], "stack", *first["columns"][1:]]
        print(markdown_row(columns))
        print(markdown_row(["---"] * len(columns)))
        for row in range(len(first["rows"])):
            for run in runs:
                table = run["tables"][number]
                if table["title"] == first["title"] and row < len(table["rows"]):
                    cells = table["rows"][row]
                    print(markdown_row([cells[0], run["stack"], *cells[1:]]))


if __name__ == "__main__":
    main(sys.argv[1:])
