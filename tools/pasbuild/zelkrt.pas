{ Linked into every model library. A run-time error of the Pascal library (a failed range
  check, a software floating-point error) or a Halt would otherwise end the whole workbench;
  here each becomes an illegal instruction, which the caller's guard turns into a failed
  model call. The Halt below hides the System unit's for the model's text: the library's
  units are then never finalised under the program's feet. }
unit zelkrt;

interface

procedure Halt(ErrNum: Longint); overload;
procedure Halt; overload;

implementation

procedure Trap;
begin
  asm
    ud2
  end;
end;

procedure TrapRunTimeError(ErrNo: Longint; Address: CodePointer; Frame: Pointer);
begin
  Trap;
end;

procedure Halt(ErrNum: Longint);
begin
  Trap;
end;

procedure Halt;
begin
  Trap;
end;

initialization
  ErrorProc := @TrapRunTimeError;
end.
