language = pascal

declar
  k1, k2, k3, k4 : double;
end declar

static
end static

dynamic
  { A <-> B -> C -> out }
  k1 := p^[1];
  k2 := p^[2];
  k3 := p^[3];
  k4 := p^[4];
  dy^[1] := -k1*y^[1] + k2*y^[2];
  dy^[2] := k1*y^[1] - (k2 + k3)*y^[2];
  dy^[3] := k3*y^[2] - k4*y^[3];
end dynamic
