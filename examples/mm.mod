language = pascal

declar
  s : double;
end declar

static
end static

dynamic
  { Michaelis-Menten substrate decay dS/dt = -Vmax S / (Km + S)
    with S = y^[1], Vmax = p^[1], Km = p^[2] }
  s := y^[1];
  dy^[1] := -p^[1]*s/(p^[2] + s);
end dynamic
