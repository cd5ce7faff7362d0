Library two_conditions;

uses Math;

type T20Vector = array[0..20] of Double;
type T50Vector = array[0..50] of Double;
type T20x500Matrix = array[0..500] of T20Vector;
type T50x500Matrix = array[0..500] of T50Vector;
type P20Vector = ^T20Vector;
type P50Vector = ^T50Vector;
type P20x500Matrix = ^T20x500Matrix;
type P50x500Matrix = ^T50x500Matrix;

{ Two conditions (x^[2] = 1, 2) with their own log10 rate constants p^[1], p^[2] of
  y1' = -k y1; p^[3] is the first experiment's initial value; y2 = ln(y1) is an observable
  the static section computes. }
procedure DynamicEquations(var p,x : P20Vector; var y,dy : P50Vector); export;
begin
  if x^[2] > 1.5 then dy^[1] := -exp(2.302585*p^[2])*y^[1]
  else dy^[1] := -exp(2.302585*p^[1])*y^[1];
  dy^[2] := 0;
end;

procedure InitialEquations(var p,x : P20Vector; var y : P50Vector; var xe : P20x500Matrix; var ye : P50x500Matrix); export;
begin
  ye^[1][1] := p^[3];
  y^[2] := ln(y^[1]);
end;

exports
DynamicEquations,
InitialEquations;

begin
end.
