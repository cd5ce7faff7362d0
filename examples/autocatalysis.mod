language = pascal

declar
  r1, r2, r3 : double;
end declar

static
end static

dynamic
  { A -> B, A + B -> 2 B (autocatalysis), B -> C }
  r1 := p^[1]*y^[1];
  r2 := p^[2]*y^[1]*y^[2];
  r3 := p^[3]*y^[2];
  dy^[1] := -r1 - r2;
  dy^[2] := r1 + r2 - r3;
  dy^[3] := r3;
end dynamic
