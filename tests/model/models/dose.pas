Library dose;

uses Math;

type T20Vector = array[0..20] of Double;
type T50Vector = array[0..50] of Double;
type TZelkValues = array[0..$FFFFFFF] of Double;
type TZelkXeRow = array[0..20] of Double;
type TZelkYeRow = array[0..50] of Double;
type T20x500Matrix = array[0..$FFFFF] of TZelkXeRow;
type T50x500Matrix = array[0..$FFFFF] of TZelkYeRow;
type P20Vector = ^TZelkValues;
type P50Vector = ^TZelkValues;
type P20x500Matrix = ^T20x500Matrix;
type P50x500Matrix = ^T50x500Matrix;

procedure DynamicEquations(var p,x : P20Vector; var y,dy : P50Vector); export;
begin

  dy^[1] := -p^[1]*y^[1];

end;

procedure InitialEquations(var p,x : P20Vector; var y : P50Vector; var xe : P20x500Matrix; var ye : P50x500Matrix); export;
begin

  if abs(x^[1] - 2) < 1e-9 then y^[1] := y^[1] + p^[2];

end;

procedure MatrixStrides(var xs, ys : LongInt); export;
begin xs := 21; ys := 51; end;

exports
DynamicEquations,
InitialEquations,
MatrixStrides;

begin
end.
