Library rise;

uses Math;

type T20Vector = array[0..20] of Double;
type T50Vector = array[0..50] of Double;
type T20x500Matrix = array[0..500] of T20Vector;
type T50x500Matrix = array[0..500] of T50Vector;
type P20Vector = ^T20Vector;
type P50Vector = ^T50Vector;
type P20x500Matrix = ^T20x500Matrix;
type P50x500Matrix = ^T50x500Matrix;

procedure DynamicEquations(var p,x : P20Vector; var y,dy : P50Vector); export;
begin

  y^[1] := p^[1]*(1 - exp(-p^[2]*x^[1]));

end;

procedure InitialEquations(var p,x : P20Vector; var y : P50Vector; var xe : P20x500Matrix; var ye : P50x500Matrix); export;
begin


;
end;

exports
DynamicEquations,
InitialEquations;

begin
end.
