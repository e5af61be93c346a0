# Draws BENCHMARKS.md's picture: median time of one Enter against the history size, both
# on log scales; the floor (one bare walk of the history, a grey band), each of Quorvin's
# reference forms (solid), each of readline's (dashed, in the colour of the same Quorvin
# form), three forms of Quorvin's bash mode (solid, square points) and bash mode's worst lines
# (dotted, triangles; measured at the two largest sizes).
# gnuplot -e "data='build/bench/plot.dat'; out='build/bench/bench-plot.svg'; note='...'" bench/plot.gp
# The columns of `data` are those bench/table.py writes with --data FILE.

if (!exists("note")) note = ""

set encoding utf8
set terminal svg size 1100,940 dynamic noenhanced font "Helvetica,13" background "white"
set output out
set datafile missing "-"

set title "Time of one expansion against history size (log-log)\n" . note
set logscale xy
set autoscale yfix
set offsets 0, 0, graph 0.05, graph 0.05
set xrange [70:140000]
set xtics ("100" 100, "1 000" 1000, "10 000" 10000, "100 000" 100000)
set ytics ("10 ns" 0.01, "100 ns" 0.1, "1 µs" 1, "10 µs" 10, "100 µs" 100, "1 ms" 1000, \
           "10 ms" 10000, "100 ms" 100000)
set xlabel "Entries in the history"
set ylabel "Median time of one Enter"
set grid xtics ytics mxtics mytics lc "#dddddd"
set key outside below center Left reverse spacing 1.1 maxcols 2 width -6 title "Quorvin solid, readline dashed" left
set border lc "#444444"

# One colour per reference form; a readline line takes the colour of its Quorvin form.
array colour[9] = ["#1f77b4", "#17becf", "#2ca02c", "#98df8a", "#ff7f0e", "#ffbb78", \
                   "#d62728", "#ff9896", "#9467bd"]
array label[9] = ["!!", "!-1", "!-N/2", "!N/2", "!word", "!word, case-insensitive", \
                  "!?word", "!?word, case-insensitive", "!N/4:s/old/new/"]
# Readline's forms: columns 12 to 18, in the order of Quorvin's forms 1 2 3 4 5 7 9.
array same[7] = [1, 2, 3, 4, 5, 7, 9]
# Bash mode's forms: columns 19 to 21.
array bashColour[3] = ["#8c564b", "#e377c2", "#bcbd22"]
array bashLabel[3] = ["echo !$", "x !!:1-2 !-2:$", "^old^new"]
# Bash mode's worst lines: columns 22 to 28, at 10 000 and 100 000 entries only.
array worstColour[7] = ["#393b79", "#637939", "#8c6d31", "#843c39", "#7b4173", "#3182bd", \
                        "#e6550d"]
array worstLabel[7] = ["echo and 20 000 !!", "echo and 8 000 !-3", "32 000 !", \
                       "!!:Gs/b/b/ and 20 :&, 32 000 words", "!? and 32 000 a", \
                       "13 000 !#:$", "1 500 times the same !?cmd9999?"]

# The floor is a broad grey band under the rest, so that the lines on it still show it.
plot data using 1:2 with lines lw 10 lc "#b0b0b0" title "floor: one walk of the history", \
     for [f = 1:9] data using 1:(column(2 + f)) with linespoints lw 2 lc rgb colour[f] \
         pt 7 ps 0.7 title "Quorvin " . label[f], \
     for [r = 1:7] data using 1:(column(11 + r)) with linespoints lw 1.5 dt 2 \
         lc rgb colour[same[r]] pt 6 ps 0.7 title "readline " . label[same[r]], \
     for [b = 1:3] data using 1:(column(18 + b)) with linespoints lw 2 lc rgb bashColour[b] \
         pt 5 ps 0.7 title "Quorvin, bash mode: " . bashLabel[b], \
     for [w = 1:7] data using 1:(column(21 + w)) with linespoints lw 1.5 dt 3 \
         lc rgb worstColour[w] pt 9 ps 0.9 title "worst line: " . worstLabel[w]
