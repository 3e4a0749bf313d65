# Instructions per item (pixel or segment) of the innermost loop around the drawing
# calls of Draw, read from a disassembly (objdump -d --no-show-raw-insn) of the shipped
# i686 object: awk -v sym=MANGLED -v callsPerItem=N. Exact when nothing inside the
# loop jumps within it, as then every instruction of it runs once per pass; marked ~
# otherwise.
function hex(s,   i, n) { n = 0; s = tolower(s); for (i = 1; i <= length(s); i++) n = n * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1; return n }
$0 ~ "<" sym ">:$" { on = 1; next }
on && /^$/ { on = 0 }
on && /^ *[0-9a-f]+:\t/ {
  split($0, f, "\t"); addr = f[1]; gsub(/[ :]/, "", addr); a = hex(addr); split(f[2], w, " ")
  n++; at[n] = a; op[n] = w[1]; target[n] = w[1] ~ /^j/ && w[2] ~ /^[0-9a-f]+$/ ? hex(w[2]) : -1
}
END {
  best = 0
  for (j = 1; j <= n; j++) {
    if (target[j] < 0 || target[j] > at[j]) continue
    count = 0; calls = 0; inner = 0
    for (i = 1; i <= n; i++) if (at[i] >= target[j] && at[i] <= at[j]) {
      count++; if (op[i] ~ /^call/) calls++
      if (i != j && target[i] >= target[j] && target[i] <= at[j]) inner = 1
    }
    if (calls > 0 && (best == 0 || count / calls < best)) { best = count / calls; exact = !inner }
  }
  if (best == 0) print "-"; else printf "%s%.1f\n", exact ? "" : "~", best * callsPerItem
}
