# Turns the JSON output of quorvin_bench into the Markdown tables of BENCHMARKS.md: the
# median CPU time of every benchmark, its multiple of the floor of the same history size, its
# ratio to readline's history_expand, and the heap blocks of one expansion.
# Reads the fields line by line, as Google Benchmark writes one field per line.
# With -v data=FILE it also writes the medians in microseconds, one row per history size, for
# bench/plot.gp: the size, the floor, Quorvin's forms, then readline's ("-" where none).

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

/^    \{/ { name = ""; aggregate = ""; cpu = ""; unit = ""; label = ""; count = ""; error = "" }
/"run_name":/ { name = field($0) }
/"aggregate_name":/ { aggregate = field($0) }
/"cpu_time":/ { cpu = field($0) + 0 }
/"time_unit":/ { unit = field($0) }
/"label":/ { label = $0; sub(/^[^:]*: *"/, "", label); sub(/",?$/, "", label) }
/"allocs":/ { count = field($0) + 0 }
/"error_occurred": true/ { error = 1 }
/^    \}/ {
  # The median when there are repetitions, else the one run.
  if (name == "" || error || (aggregate != "" && aggregate != "median")) next
  if (aggregate == "" && (name in time) && medians[name]) next
  time[name] = micro(cpu, unit)
  if (aggregate == "median") medians[name] = 1
  if (count != "") allocs[name] = count
  if (label != "") labels[name] = label
}

END {
  nforms = split("bangbang minus1 minushalf half prefix prefix_ci contains contains_ci subst", forms, " ")
  split("!! !-1 !-N/2 !N/2 !word !word !?word !?word !N/4:s/old/new/", shapes, " ")
  split("no no no no no yes no yes no", folded, " ")
  split("1.3 1.3 1.3 1.3 1.3 1.3 2 2 -", targets, " ")
  readline["prefix_ci"] = "prefix"; readline["contains_ci"] = "contains"
  nsizes = split("100 1000 10000 100000", sizes, " ")

  if (data != "") {
    nreadline = split("bangbang minus1 minushalf half prefix contains subst", rforms, " ")
    printf "# size floor" > data
    for (f = 1; f <= nforms; ++f) printf " quorvin/%s", forms[f] > data
    for (f = 1; f <= nreadline; ++f) printf " readline/%s", rforms[f] > data
    print "" > data
    for (s = 1; s <= nsizes; ++s) {
      n = sizes[s]
      printf "%s %s", n, plotted("floor/" n) > data
      for (f = 1; f <= nforms; ++f) printf " %s", plotted("quorvin/" forms[f] "/" n) > data
      for (f = 1; f <= nreadline; ++f) printf " %s", plotted("readline/" rforms[f] "/" n) > data
      print "" > data
    }
    close(data)
  }

  print "### Keystrokes that expand nothing"
  print ""
  print "| Keystroke | Median CPU time | Heap blocks |"
  print "|---|---|---|"
  print "| A key on a line that does not begin with `!` | " show(time["key/plain_line"]) " | " blocks("key/plain_line") " |"
  print "| A key other than Enter on a line that begins with `!` | " show(time["key/bang_line_other_key"]) " | " blocks("key/bang_line_other_key") " |"
  print ""

  print "### Multiples of the floor"
  print ""
  printf "| Form | Case-insensitive |"
  for (s = 1; s <= nsizes; ++s) printf " %s entries |", sizes[s]
  print " Target (10 000 and more) |"
  printf "|---|---|"
  for (s = 1; s <= nsizes; ++s) printf "---|"
  print "---|"
  for (f = 1; f <= nforms; ++f) {
    printf "| `%s` | %s |", shapes[f], folded[f]
    for (s = 1; s <= nsizes; ++s) {
      printf " %s |", ratio(time["quorvin/" forms[f] "/" sizes[s]], time["floor/" sizes[s]])
    }
    print " " (targets[f] == "-" ? "-" : "within " targets[f]) " |"
  }
  printf "| shell's `_stristr` on every entry, during the walk | - |"
  for (s = 1; s <= nsizes; ++s) printf " %s |", ratio(time["floor_stristr/" sizes[s]], time["floor/" sizes[s]])
  print " - |"
  print ""

  for (s = 1; s <= nsizes; ++s) {
    n = sizes[s]
    print "### " n " entries"
    print ""
    print "| Form | Line | Quorvin | × floor | readline line | readline | Quorvin ÷ readline | Heap blocks (Quorvin / readline) |"
    print "|---|---|---|---|---|---|---|---|"
    print "| floor: one walk | - | " show(time["floor/" n]) " | 1.00 | - | - | - | - |"
    print "| walk + shell's `_stristr` per entry | - | " show(time["floor_stristr/" n]) " | " ratio(time["floor_stristr/" n], time["floor/" n]) " | - | - | - | - |"
    for (f = 1; f <= nforms; ++f) {
      q = "quorvin/" forms[f] "/" n
      r = "readline/" ((forms[f] in readline) ? readline[forms[f]] : forms[f]) "/" n
      note = (forms[f] in readline) ? " (case-sensitive)" : ""
      print "| `" shapes[f] "`" (folded[f] == "yes" ? ", case-insensitive" : "") " | `" labels[q] "` | " show(time[q]) " | " ratio(time[q], time["floor/" n]) " | `" labels[r] "`" note " | " show(time[r]) " | " ratio(time[q], time[r]) " | " blocks(q) " / " blocks(r) " |"
    }
    print ""
  }
}
