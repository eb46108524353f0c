# Reads one signed 16-bit sample per line (od -td2 output) and prints, for each window
# of `win` samples, its start time and the amplitude (0 to 32768) of each frequency in
# `freqs` (comma separated), measured with the Goertzel filter; the last line,
# "zc SECONDS CROSSINGS", counts the upward zero crossings of the samples in
# [from, to) seconds, for the frequency of a lone tone.
#   awk -v rate=48000 -v win=2400 -v freqs=1000,2500 -v from=1 -v to=3 -f sound_tones.awk
BEGIN {
  nf = split(freqs, f, ",")
  for (i = 1; i <= nf; i++) k[i] = 2 * cos(2 * 3.141592653589793 * f[i] / rate)
  n = 0; w = 0; zc = 0; zn = 0; prev = 0
}
{
  x = $1 + 0
  for (i = 1; i <= nf; i++) { s = x + k[i] * a[i] - b[i]; b[i] = a[i]; a[i] = s }
  w++
  t = n / rate
  if (t >= from && t < to) { if (zn > 0 && prev < 0 && x >= 0) zc++; prev = x; zn++ }
  n++
  if (w == win) {
    line = sprintf("%.3f", (n - win) / rate)
    for (i = 1; i <= nf; i++) {
      p = a[i] * a[i] + b[i] * b[i] - k[i] * a[i] * b[i]
      line = line sprintf(" %.0f", sqrt(p > 0 ? p : 0) * 2 / win)
      a[i] = 0; b[i] = 0
    }
    print line
    w = 0
  }
}
END { printf "zc %.6f %d\n", zn / rate, zc }
