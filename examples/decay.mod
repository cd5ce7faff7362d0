{\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\fmodern\fprq1\fcharset0 Courier New;}}
\uc1\pard\f0\fs20 language = pascal\par
\par
declar\par
end declar\par
\par
static\par
end static\par
\par
dynamic\par
  \{ first-order decay: y' = -k y with k = p[1] \}\par
  dy^[1] := -p^[1]*y^[1];\par
end dynamic\par
\par
}
