{\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\fmodern\fprq1\fcharset0 Courier New;}}
\uc1\pard\f0\fs20 language = pascal\par
\par
declar\par
  k1, k2 : double;\par
end declar\par
\par
static\par
  \{ a dose of 1.0 of A at t = 5 \}\par
  if abs(x^[1] - 5) < 1e-9 then\par
    y^[1] := y^[1] + 1.0;\par
end static\par
\par
dynamic\par
  \{ A -> B -> C with rate constants k1 = p[1], k2 = p[2] \}\par
  k1 := p^[1];\par
  k2 := p^[2];\par
  dy^[1] := -k1*y^[1];\par
  dy^[2] := k1*y^[1] - k2*y^[2];\par
  dy^[3] := k2*y^[2];\par
end dynamic\par
\par
}
