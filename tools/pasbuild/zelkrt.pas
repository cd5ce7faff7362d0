{ Linked into every model library. A run-time error of the Pascal library (a failed range
  check, a software floating-point error) would otherwise halt the whole workbench; here it
  becomes an illegal instruction, which the caller's guard turns into a failed model call. }
unit zelkrt;

interface

implementation

procedure TrapRunTimeError(ErrNo: Longint; Address: CodePointer; Frame: Pointer);
begin
  asm
    ud2
  end;
end;

initialization
  ErrorProc := @TrapRunTimeError;
end.
