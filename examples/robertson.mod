language = pascal

declar
  k1, k2, k3 : double;
end declar

static
end static

dynamic
  { Robertson's stiff reaction: A -> B (k1), 2 B -> B + C (k2), B + C -> A + C (k3) }
  k1 := p^[1];
  k2 := p^[2];
  k3 := p^[3];
  dy^[1] := -k1*y^[1] + k3*y^[2]*y^[3];
  dy^[2] := k1*y^[1] - k3*y^[2]*y^[3] - k2*y^[2]*y^[2];
  dy^[3] := k2*y^[2]*y^[2];
end dynamic
