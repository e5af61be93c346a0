# Turns the JSON output of quorvin_bench into the Markdown tables of BENCHMARKS.md: the
# median CPU time of every benchmark, its multiple of the floor of the same history size, its
# ratio to readline's history_expand, and the heap blocks of one expansion.
# Reads one JSON file or several (one per run of the program): a benchmark's time is the median
# of its runs, where a run with repetitions counts by its own median. The time is CPU time,
# except for the benchmarks measured against the floor in their own loop (counter "floor",
# manual time): their time is the steady clock's, and their multiple of the floor is the median
# of the ratios of each run, time / floor.
# Reads the fields line by line, as Google Benchmark writes one field per line.
# With -v data=FILE it also writes the medians in microseconds, one row per history size, for
# bench/plot.gp: the size, the floor, Quorvin's forms of the default rules, readline's, three
# of Quorvin's bash forms, then bash mode's worst lines ("-" where none).

function field(line) {
  sub(/^[^:]*: */, "", line)
  sub(/,$/, "", line)
  gsub(/"/, "", line)
  return line
}

function micro(value, unit) {
  if (unit == "ns") return value / 1000
  if (unit == "ms") return value * 1000
  if (unit == "s") return value * 1000000
  return value
}

function show(us) {
  if (us == "") return "-"
  if (us < 0.01) return sprintf("%.1f ns", us * 1000)
  if (us < 1) return sprintf("%.0f ns", us * 1000)
  if (us < 10) return sprintf("%.2f µs", us)
  if (us < 1000) return sprintf("%.1f µs", us)
  return sprintf("%.2f ms", us / 1000)
}

function ratio(a, b) {
  if (a == "" || b == "" || b == 0) return "-"
  if (a / b >= 100) return sprintf("%.0f", a / b)
  return sprintf("%.2f", a / b)
}

function plotted(name) { return (name in time) ? sprintf("%.6g", time[name]) : "-" }

function blocks(name) { return (name in allocs) ? sprintf("%.0f", allocs[name]) : "-" }

# The figures of each benchmark in one file, added to those of the files before: its time, and
# its multiple of the floor when it was measured against it.
function flush(  n) {
  for (n in value) {
    times[n, ++runs[n]] = value[n]
    if (n in paired) multiples[n, ++pairedRuns[n]] = value[n] / paired[n]
  }
  delete value
  delete paired
  delete fromMedian
}

# The median of list[n, 1] to list[n, count].
function median(list, n, count,  i, j, v, sorted) {
  for (i = 1; i <= count; ++i) {
    v = list[n, i]
    for (j = i - 1; j >= 1 && sorted[j] > v; --j) sorted[j + 1] = sorted[j]
    sorted[j + 1] = v
  }
  if (count % 2 == 1) return sorted[(count + 1) / 2]
  return (sorted[count / 2] + sorted[count / 2 + 1]) / 2
}

# The multiple of the floor of benchmark `name` on `size` entries: measured against the floor in
# its own loop when it was, else its time over that of the floor benchmark.
function multiple(name, size) {
  if (name in multipleOf) return sprintf(multipleOf[name] >= 100 ? "%.0f" : "%.2f", multipleOf[name])
  return ratio(time[name], time["floor/" size])
}

/^    \{/ {
  name = ""; aggregate = ""; cpu = ""; real = ""; unit = ""; label = ""; count = ""; floor = ""
  error = ""
}
/"run_name":/ { name = field($0); sub(/\/manual_time$/, "", name) }
/"aggregate_name":/ { aggregate = field($0) }
/"cpu_time":/ { cpu = field($0) + 0 }
/"real_time":/ { real = field($0) + 0 }
/"floor":/ { floor = field($0) + 0 }
/"time_unit":/ { unit = field($0) }
/"label":/ { label = $0; sub(/^[^:]*: *"/, "", label); sub(/",?$/, "", label) }
/"allocs":/ { count = field($0) + 0 }
/"error_occurred": true/ { error = 1 }

FNR == 1 && NR > 1 { flush() }

/^    \}/ {
  if (name == "" || error || (aggregate != "" && aggregate != "median")) next
  if (aggregate == "median" || !(name in fromMedian)) {
    value[name] = micro(floor == "" ? cpu : real, unit)
    if (floor != "") paired[name] = micro(floor, "us")
  }
  if (aggregate == "median") fromMedian[name] = 1
  if (count != "") allocs[name] = count
  if (label != "") labels[name] = label
}

END {
  flush()
  for (n in runs) time[n] = median(times, n, runs[n])
  for (n in pairedRuns) multipleOf[n] = median(multiples, n, pairedRuns[n])

  # Quorvin's forms: the default rules' (the first ndefault), then bash mode's.
  nforms = split("bangbang minus1 minushalf half prefix prefix_ci contains contains_ci subst " \
                 "bash_last bash_words bash_quick bash_refs1 bash_refs2 bash_refs4 bash_lead", forms, " ")
  ndefault = 9
  split("!! !-1 !-N/2 !N/2 !word !word !?word !?word !N/4:s/old/new/", shapes, " ")
  shapes[10] = "echo !$"; shapes[11] = "x !!:1-2 !-2:$"; shapes[12] = "^old^new"
  shapes[13] = "x !!"; shapes[14] = "x !! !!"; shapes[15] = "x !! !! !! !!"; shapes[16] = "!! x"
  # The references of each bash form, and the walks of the history it takes: one for the whole
  # line, whatever it holds (the default rules refuse "!! x" before they walk).
  split("1 2 1 1 2 4 1", references, " ")
  split("1 1 1 1 1 1 1", walks, " ")
  split("no no no no no yes no yes no", folded, " ")
  split("1.3 1.3 1.3 1.3 1.3 1.3 2 2 -", targets, " ")
  readline["prefix_ci"] = "prefix"; readline["contains_ci"] = "contains"
  nsizes = split("100 1000 10000 100000", sizes, " ")
  # Bash mode's worst lines (workload.h), measured on the two largest sizes.
  nworst = split("bangs minus3 bang_run each_word long_search line_so_far same_search", worst, " ")
  worsttext["bangs"] = "`echo` and 20 000 `!!` (the newest entry `x`)"
  worsttext["minus3"] = "`echo` and 8 000 ` !-3`"
  worsttext["bang_run"] = "32 000 `!`"
  worsttext["each_word"] = "`x !!:Gs/b/b/` and 20 `:&`, the newest entry 31 999 words `a` and a `b`"
  worsttext["long_search"] = "`x !?` 32 000 `a` `?`, an entry of 65 000 `a` half-way back"
  worsttext["line_so_far"] = "`x` and 13 000 ` !#:$`"
  worsttext["same_search"] = "`x` and 1 500 ` !?cmd9999?`, the entry near the oldest"
  nworstsizes = split("10000 100000", worstsizes, " ")

  if (data != "") {
    # The columns bench/plot.gp reads by number: those of the default rules' forms and
    # readline's first, then the bash forms plotted.
    nreadline = split("bangbang minus1 minushalf half prefix contains subst", rforms, " ")
    nplotted = split("bash_last bash_words bash_quick", bforms, " ")
    printf "# size floor" > data
    for (f = 1; f <= ndefault; ++f) printf " quorvin/%s", forms[f] > data
    for (f = 1; f <= nreadline; ++f) printf " readline/%s", rforms[f] > data
    for (f = 1; f <= nplotted; ++f) printf " quorvin/%s", bforms[f] > data
    for (w = 1; w <= nworst; ++w) printf " worst/%s", worst[w] > data
    print "" > data
    for (s = 1; s <= nsizes; ++s) {
      n = sizes[s]
      printf "%s %s", n, plotted("floor/" n) > data
      for (f = 1; f <= ndefault; ++f) printf " %s", plotted("quorvin/" forms[f] "/" n) > data
      for (f = 1; f <= nreadline; ++f) printf " %s", plotted("readline/" rforms[f] "/" n) > data
      for (f = 1; f <= nplotted; ++f) printf " %s", plotted("quorvin/" bforms[f] "/" n) > data
      for (w = 1; w <= nworst; ++w) printf " %s", plotted("worst/" worst[w] "/" n) > data
      print "" > data
    }
    close(data)
  }

  print "### Keystrokes that expand nothing"
  print ""
  print "| Keystroke | Median CPU time, default | Median CPU time, bash mode | Heap blocks (default / bash mode) |"
  print "|---|---|---|---|"
  nkeys = split("plain_line bang_line_other_key enter_plain_line enter_quoted_bang space_plain_line space_bang_line", keys, " ")
  keytext["plain_line"] = "A key other than Enter on a line that does not begin with `!`"
  keytext["bang_line_other_key"] = "A key other than Enter on a line that begins with `!`"
  keytext["enter_plain_line"] = "Enter on a line without `!` that does not begin with `^`"
  keytext["enter_quoted_bang"] = "Enter on `echo \"hello world!\"` (a `!` that is no reference: the mode is read)"
  keytext["space_plain_line"] = "Space on a line without `!` (`QUORVIN_KEYS` unset)"
  keytext["space_bang_line"] = "Space on `echo !$ and more` (`QUORVIN_KEYS` unset: it is read)"
  for (k = 1; k <= nkeys; ++k) {
    d = "key/" keys[k]; b = "key/" keys[k] "_bash"
    print "| " keytext[keys[k]] " | " show(time[d]) " | " show(time[b]) " | " blocks(d) " / " blocks(b) " |"
  }
  print ""

  print "### Multiples of the floor"
  print ""
  printf "| Form | Case-insensitive |"
  for (s = 1; s <= nsizes; ++s) printf " %s entries |", sizes[s]
  print " Target (10 000 and more) |"
  printf "|---|---|"
  for (s = 1; s <= nsizes; ++s) printf "---|"
  print "---|"
  for (f = 1; f <= ndefault; ++f) {
    printf "| `%s` | %s |", shapes[f], folded[f]
    for (s = 1; s <= nsizes; ++s) {
      printf " %s |", multiple("quorvin/" forms[f] "/" sizes[s], sizes[s])
    }
    print " " (targets[f] == "-" ? "-" : "within " targets[f]) " |"
  }
  printf "| shell's `_stristr` on every entry, during the walk | - |"
  for (s = 1; s <= nsizes; ++s) printf " %s |", multiple("floor_stristr/" sizes[s], sizes[s])
  print " - |"
  print ""

  print "### Bash mode: multiples of the floor"
  print ""
  printf "| Form | References | Walks of the history |"
  for (s = 1; s <= nsizes; ++s) printf " %s entries |", sizes[s]
  print ""
  printf "|---|---|---|"
  for (s = 1; s <= nsizes; ++s) printf "---|"
  print ""
  for (f = ndefault + 1; f <= nforms; ++f) {
    printf "| `%s` | %s | %s |", shapes[f], references[f - ndefault], walks[f - ndefault]
    for (s = 1; s <= nsizes; ++s) {
      printf " %s |", multiple("quorvin/" forms[f] "/" sizes[s], sizes[s])
    }
    print ""
  }
  print ""

  print "### Bash mode's worst lines: multiples of the floor"
  print ""
  printf "| Line |"
  for (s = 1; s <= nworstsizes; ++s) printf " %s entries | time |", worstsizes[s]
  print " Heap blocks |"
  printf "|---|"
  for (s = 1; s <= nworstsizes; ++s) printf "---|---|"
  print "---|"
  for (w = 1; w <= nworst; ++w) {
    printf "| %s |", worsttext[worst[w]]
    for (s = 1; s <= nworstsizes; ++s) {
      q = "worst/" worst[w] "/" worstsizes[s]
      printf " %s | %s |", multiple(q, worstsizes[s]), show(time[q])
    }
    print " " blocks("worst/" worst[w] "/" worstsizes[nworstsizes]) " |"
  }
  print ""

  for (s = 1; s <= nsizes; ++s) {
    n = sizes[s]
    print "### " n " entries"
    print ""
    print "| Form | Line | Quorvin | × floor | readline line | readline | Quorvin ÷ readline | Heap blocks (Quorvin / readline) |"
    print "|---|---|---|---|---|---|---|---|"
    print "| floor: one walk | - | " show(time["floor/" n]) " | 1.00 | - | - | - | - |"
    print "| walk + shell's `_stristr` per entry | - | " show(time["floor_stristr/" n]) " | " multiple("floor_stristr/" n, n) " | - | - | - | - |"
    for (f = 1; f <= nforms; ++f) {
      q = "quorvin/" forms[f] "/" n
      r = "readline/" ((forms[f] in readline) ? readline[forms[f]] : forms[f]) "/" n
      note = (forms[f] in readline) ? " (case-sensitive)" : ""
      mode = folded[f] == "yes" ? ", case-insensitive" : (f > ndefault ? ", bash mode" : "")
      print "| `" shapes[f] "`" mode " | `" labels[q] "` | " show(time[q]) " | " multiple(q, n) " | `" labels[r] "`" note " | " show(time[r]) " | " ratio(time[q], time[r]) " | " blocks(q) " / " blocks(r) " |"
    }
    print ""
  }
}
