#!/usr/bin/env python3
"""Turns the JSON of quorvin_bench into the Markdown tables of BENCHMARKS.md: the median time of
every benchmark, its multiple of the floor of the same history size, its ratio to readline's
history_expand, and the heap blocks of one expansion.

  bench/table.py [--data FILE] RESULTS.json

RESULTS.json is one run of the program with --benchmark_repetitions: a benchmark's time is its
median aggregate (with one repetition, that repetition's time). The time is CPU time, except for
the benchmarks measured against the floor in their own loop (counter "floor", manual time):
their time is the steady clock's, and their multiple of the floor is the median of the ratios of
each repetition, time / floor. Every other multiple of the floor is the benchmark's time over
that of the floor benchmark. With --data FILE it also writes the medians in microseconds, one
row per history size, for bench/plot.gp: the size, the floor, Quorvin's forms of the default
rules, readline's, three of Quorvin's bash forms, then bash mode's worst lines ("-" where none).
"""
import argparse
import json
import statistics



def micro(value, unit):
    if unit == "ns":
        return value / 1000
    if unit == "ms":
        return value * 1000
    if unit == "s":
        return value * 1000000
    return value


def show(us):
    if us is None:
        return "-"
    if us < 0.01:
        return "%.1f ns" % (us * 1000)
    if us < 1:
        return "%.0f ns" % (us * 1000)
    if us < 10:
        return "%.2f µs" % us
    if us < 1000:
        return "%.1f µs" % us
    return "%.2f ms" % (us / 1000)


def ratio(a, b):
    if a is None or b is None or b == 0:
        return "-"
    return ("%.0f" if a / b >= 100 else "%.2f") % (a / b)


class Results:
    """The figures of each benchmark, by its run name."""

    def __init__(self, path):
        with open(path) as f:
            entries = json.load(f)["benchmarks"]
        self.time, self.multiple_of, self.allocs, self.labels = {}, {}, {}, {}
        against_floor = {e["run_name"] for e in entries if "floor" in e}
        repetitions, ratios, medians, median_ratios = {}, {}, {}, {}
        for e in entries:
            if e.get("error_occurred"):
                continue
            name = e["run_name"].removesuffix("/manual_time")
            aggregate = e.get("aggregate_name")
            if e["run_type"] == "aggregate" and aggregate != "median":
                continue
            clock = "real_time" if e["run_name"] in against_floor else "cpu_time"
            us = micro(e[clock], e["time_unit"])
            if aggregate == "median":
                medians[name] = us
                if "floor" in e:
                    median_ratios[name] = us / e["floor"]
            else:
                repetitions.setdefault(name, []).append(us)
                if "floor" in e:
                    ratios.setdefault(name, []).append(us / e["floor"])
            if "allocs" in e and (aggregate == "median" or name not in medians):
                self.allocs[name] = e["allocs"]
            if e.get("label"):
                self.labels[name] = e["label"]
        for name, values in repetitions.items():
            self.time[name] = statistics.median(values)
        self.time.update(medians)
        # With only the aggregates reported (--benchmark_report_aggregates_only), the ratio of
        # the medians stands in for the median of the ratios.
        self.multiple_of.update(median_ratios)
        for name, values in ratios.items():
            self.multiple_of[name] = statistics.median(values)

    def multiple(self, name, size):
        """The multiple of the floor of benchmark `name` on `size` entries: measured against the
        floor in its own loop when it was, else its time over that of the floor benchmark."""
        if name in self.multiple_of:
            m = self.multiple_of[name]
            return ("%.0f" if m >= 100 else "%.2f") % m
        return ratio(self.time.get(name), self.time.get("floor/%s" % size))

    def plotted(self, name):
        return "%.6g" % self.time[name] if name in self.time else "-"

    def blocks(self, name):
        return "%.0f" % self.allocs[name] if name in self.allocs else "-"


# Quorvin's forms: the default rules' (the first NDEFAULT), then bash mode's.
FORMS = ("bangbang minus1 minushalf half prefix prefix_ci contains contains_ci subst "
         "bash_last bash_words bash_quick bash_refs1 bash_refs2 bash_refs4 bash_lead").split()
NDEFAULT = 9
SHAPES = "!! !-1 !-N/2 !N/2 !word !word !?word !?word !N/4:s/old/new/".split() + [
    "echo !$", "x !!:1-2 !-2:$", "^old^new", "x !!", "x !! !!", "x !! !! !! !!", "!! x"]
# The references of each bash form, and the walks of the history it takes: one for the whole
# line, whatever it holds (the default rules refuse "!! x" before they walk).
REFERENCES = "1 2 1 1 2 4 1".split()
WALKS = "1 1 1 1 1 1 1".split()
FOLDED = "no no no no no yes no yes no".split()
TARGETS = "1.3 1.3 1.3 1.3 1.3 1.3 2 2 -".split()
READLINE = {"prefix_ci": "prefix", "contains_ci": "contains"}
SIZES = "100 1000 10000 100000".split()
# Bash mode's worst lines (workload.h), measured on the two largest sizes.
# The first seven are drawn in the plot (bench/plot.gp), all are in the table.
WORST = ("bangs minus3 bang_run each_word long_search line_so_far same_search percent searches32 "
         "near_contains near_contains_I1 near_contains_default near_contains_default_I1 "
         "near_prefix near_prefix_default near_sub near_sub_I1 near_sub_default "
         "near_sub_default_I1 near_global near_global_I1 near_percent").split()
WORST_TEXT = {
    "bangs": "`echo` and 20 000 `!!` (the newest entry `x`)",
    "minus3": "`echo` and 8 000 ` !-3`",
    "bang_run": "32 000 `!`",
    "each_word": "`x !!:Gs/b/b/` and 20 `:&`, the newest entry 31 999 words `a` and a `b`",
    "long_search": "`x !?` 32 000 `a` `?`, an entry of 65 000 `a` half-way back",
    "line_so_far": "`x` and 13 000 ` !#:$`",
    "same_search": "`x` and 1 500 ` !?cmd9999?`, the entry near the oldest",
    "percent": "`x` and 2 000 ` !?a?:%`, the newest entry 40 000 units of words",
    "searches32": "`x` and 32 distinct ` !?...?`, each found only near the oldest entry",
    "near_contains": "`echo !?` (`ab` x 16 000) `aa?` over 16 entries of `ab` x 32 495 (fails)",
    "near_contains_I1": "the same, `/I1`",
    "near_contains_default": "default rules: `!?` (`ab` x 510) `aa` over 64 such entries (fails)",
    "near_contains_default_I1": "the same, `/I1`",
    "near_prefix": "`echo !` (`ab` x 16 000) `x` over the 16 entries (fails)",
    "near_prefix_default": "default rules: `!` (`ab` x 511) `x` over them (fails)",
    "near_sub": "`!!:s/` (`a` x 31 999) `b/x/`, the newest entry `echo ` `a` x 64 990 (fails)",
    "near_sub_I1": "the same, `/I1`",
    "near_sub_default": "default rules: `!!:s/` (`a` x 1 022) `b/x/` over it (fails)",
    "near_sub_default_I1": "the same, `/I1`",
    "near_global": "`x !!:gs/` (`a` x 31 999) `b/x/` over it (fails)",
    "near_global_I1": "the same, `/I1`",
    "near_percent": "`x !?` (`ab` x 16 000) `c?:%`, the newest entry that text among near misses",
}
WORST_SIZES = "10000 100000".split()
KEYS = ("plain_line bang_line_other_key enter_plain_line enter_quoted_bang space_plain_line "
        "space_bang_line space_before_reference tab_before_reference").split()
KEY_TEXT = {
    "plain_line": "A key other than Enter on a line that does not begin with `!`",
    "bang_line_other_key": "A key other than Enter on a line that begins with `!`",
    "enter_plain_line": "Enter on a line without `!` that does not begin with `^`",
    "enter_quoted_bang":
        "Enter on `echo \"hello world!\"` (a `!` that is no reference: one scan, no variable read)",
    "space_plain_line": "Space on a line without `!` (`QUORVIN_KEYS` unset)",
    "space_bang_line": "Space on `echo !$ and more` (`QUORVIN_KEYS` unset: it is read)",
    "space_before_reference":
        "Space in place, the cursor before `echo and more !$`'s reference (no walk)",
    "tab_before_reference": "Tab in place, the same",
}
# The columns bench/plot.gp reads by number: those of the default rules' forms and readline's
# first, then the bash forms plotted.
READLINE_PLOTTED = "bangbang minus1 minushalf half prefix contains subst".split()
BASH_PLOTTED = "bash_last bash_words bash_quick".split()


def write_plot_data(r, path):
    columns = (["quorvin/" + f for f in FORMS[:NDEFAULT]]
               + ["readline/" + f for f in READLINE_PLOTTED]
               + ["quorvin/" + f for f in BASH_PLOTTED] + ["worst/" + w for w in WORST])
    with open(path, "w") as out:
        out.write(" ".join(["# size floor"] + columns) + "\n")
        for n in SIZES:
            row = [n, r.plotted("floor/" + n)] + [r.plotted("%s/%s" % (c, n)) for c in columns]
            out.write(" ".join(row) + "\n")


def tables(r):
    out = []
    t = r.time.get

    out += ["### Keystrokes that expand nothing", "",
            "| Keystroke | Median CPU time, default | Median CPU time, bash mode |"
            " Heap blocks (default / bash mode) |", "|---|---|---|---|"]
    for k in KEYS:
        d, b = "key/" + k, "key/" + k + "_bash"
        out.append("| %s | %s | %s | %s / %s |"
                   % (KEY_TEXT[k], show(t(d)), show(t(b)), r.blocks(d), r.blocks(b)))
    out.append("")

    out += ["### Multiples of the floor", "",
            "| Form | Case-insensitive |" + "".join(" %s entries |" % n for n in SIZES)
            + " Target (10 000 and more) |",
            "|---|---|" + "---|" * len(SIZES) + "---|"]
    for f in range(NDEFAULT):
        cells = "".join(" %s |" % r.multiple("quorvin/%s/%s" % (FORMS[f], n), n) for n in SIZES)
        target = "-" if TARGETS[f] == "-" else "within " + TARGETS[f]
        out.append("| `%s` | %s |%s %s |" % (SHAPES[f], FOLDED[f], cells, target))
    out.append("| shell's `_stristr` on every entry, during the walk | - |"
               + "".join(" %s |" % r.multiple("floor_stristr/" + n, n) for n in SIZES) + " - |")
    out.append("")

    out += ["### Bash mode: multiples of the floor", "",
            "| Form | References | Walks of the history |"
            + "".join(" %s entries |" % n for n in SIZES),
            "|---|---|---|" + "---|" * len(SIZES)]
    for f in range(NDEFAULT, len(FORMS)):
        cells = "".join(" %s |" % r.multiple("quorvin/%s/%s" % (FORMS[f], n), n) for n in SIZES)
        out.append("| `%s` | %s | %s |%s"
                   % (SHAPES[f], REFERENCES[f - NDEFAULT], WALKS[f - NDEFAULT], cells))
    out.append("")

    out += ["### Bash mode's worst lines: multiples of the floor", "",
            "| Line |" + "".join(" %s entries | time |" % n for n in WORST_SIZES)
            + " Heap blocks |",
            "|---|" + "---|---|" * len(WORST_SIZES) + "---|"]
    for w in WORST:
        cells = ""
        for n in WORST_SIZES:
            q = "worst/%s/%s" % (w, n)
            cells += " %s | %s |" % (r.multiple(q, n), show(t(q)))
        out.append("| %s |%s %s |" % (WORST_TEXT[w], cells,
                                      r.blocks("worst/%s/%s" % (w, WORST_SIZES[-1]))))
    out.append("")

    for n in SIZES:
        out += ["### %s entries" % n, "",
                "| Form | Line | Quorvin | × floor | readline line | readline |"
                " Quorvin ÷ readline | Heap blocks (Quorvin / readline) |",
                "|---|---|---|---|---|---|---|---|",
                "| floor: one walk | - | %s | 1.00 | - | - | - | - |" % show(t("floor/" + n)),
                "| walk + shell's `_stristr` per entry | - | %s | %s | - | - | - | - |"
                % (show(t("floor_stristr/" + n)), r.multiple("floor_stristr/" + n, n))]
        for f, form in enumerate(FORMS):
            q = "quorvin/%s/%s" % (form, n)
            rl = "readline/%s/%s" % (READLINE.get(form, form), n)
            note = " (case-sensitive)" if form in READLINE else ""
            mode = (", case-insensitive" if f < NDEFAULT and FOLDED[f] == "yes"
                    else ", bash mode" if f >= NDEFAULT else "")
            out.append("| `%s`%s | `%s` | %s | %s | `%s`%s | %s | %s | %s / %s |"
                       % (SHAPES[f], mode, r.labels.get(q, ""), show(t(q)), r.multiple(q, n),
                          r.labels.get(rl, ""), note, show(t(rl)), ratio(t(q), t(rl)),
                          r.blocks(q), r.blocks(rl)))
        out.append("")
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--data", help="also write the medians for bench/plot.gp to this file")
    parser.add_argument("results", help="the JSON of quorvin_bench")
    args = parser.parse_args()
    r = Results(args.results)
    if args.data:
        write_plot_data(r, args.data)
    print("\n".join(tables(r)))


if __name__ == "__main__":
    main()
