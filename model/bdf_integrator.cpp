#include "model/bdf_integrator.h"

#include <cvodes/cvodes.h>
#include <nvector/nvector_serial.h>
#include <sunlinsol/sunlinsol_dense.h>
#include <sunmatrix/sunmatrix_dense.h>

#include <cmath>
#include <cstdlib>

#include "base/format.h"
#include "model/model_guard.h"

namespace zelk {

struct BdfIntegrator::Cvodes {
  SUNContext sun = nullptr;
  void* mem = nullptr;
  N_Vector y = nullptr;
  SUNMatrix a = nullptr;
  SUNLinearSolver ls = nullptr;
  int n = 0;
  BdfTolerances tolerances;
  // Where the last interval ended (its independent variables), to go on from there.
  bool haveEnd = false;
  T20Vector endX{};
  T50Vector endY{};
  T20Vector endP{};
  // The sensitivities, set up for a number of parameters; off while plain solutions run.
  int sensCount = 0;
  bool sensOn = false;
  N_Vector* yS = nullptr;
  std::vector<int> plist;
  std::vector<double> pbar;
  // The call in progress, for the right-hand side.
  SolveContext* ctx = nullptr;
  T20Vector p{}, x{};
  T50Vector arg{}, dy{};

  ~Cvodes() { Free(); }

  void Free() {
    if (yS) N_VDestroyVectorArray(yS, sensCount);
    yS = nullptr;
    sensCount = 0;
    sensOn = false;
    if (mem) CVodeFree(&mem);
    if (ls) SUNLinSolFree(ls);
    if (a) SUNMatDestroy(a);
    if (y) N_VDestroy(y);
    mem = nullptr;
    ls = nullptr;
    a = nullptr;
    y = nullptr;
    n = 0;
    haveEnd = false;
  }

  // dy/dx of components 1..n at x: the model's derivatives, with dy preset to its template.
  static int Rhs(double t, N_Vector yv, N_Vector ydot, void* self) {
    auto& c = *static_cast<Cvodes*>(self);
    const double* in = N_VGetArrayPointer(yv);
    double* out = N_VGetArrayPointer(ydot);
    for (int j = 1; j <= c.n; ++j) c.arg[j] = in[j - 1];
    c.x[1] = t;
    c.dy = c.ctx->Model.DyTemplate;
    ++c.ctx->Stats.DerivativeCalls;
    if (!c.ctx->Model.CallDynamic(c.p.data(), c.x.data(), c.arg.data(), c.dy.data()))
      // Past the time limit nothing more is asked of the model; any other fault may be a
      // step too long, which a shorter one avoids.
      return LastGuardFault() == GuardFault::TimeLimit ? -1 : 1;
    for (int j = 1; j <= c.n; ++j) out[j - 1] = c.dy[j];
    return 0;
  }

  static void Silent(int, const char*, const char*, char*, void*) {}

  // Sensitivities for s.Params from s.Columns at the point ReInit has just set.
  bool StartSensitivities(const StateSensitivities& s) {
    const int count = static_cast<int>(s.Params.size());
    if (count != sensCount) {
      if (yS) {
        CVodeSensFree(mem);
        N_VDestroyVectorArray(yS, sensCount);
      }
      yS = N_VCloneVectorArray(count, y);
      sensCount = count;
      if (!yS) return false;
      for (int k = 0; k < count; ++k) N_VConst(0.0, yS[k]);
      if (CVodeSensInit1(mem, count, CV_STAGGERED, nullptr, yS) != CV_SUCCESS ||
          CVodeSensEEtolerances(mem) != CV_SUCCESS ||
          CVodeSetSensErrCon(mem, SUNFALSE) != CV_SUCCESS)
        return false;
    }
    // The difference quotients perturb the parameters in p itself, which the right-hand
    // side reads; each is scaled by its own size.
    plist.assign(s.Params.begin(), s.Params.end());
    pbar.resize(count);
    for (int k = 0; k < count; ++k) pbar[k] = p[plist[k]] != 0 ? std::fabs(p[plist[k]]) : 1.0;
    if (CVodeSetSensParams(mem, p.data(), pbar.data(), plist.data()) != CV_SUCCESS) return false;
    for (int k = 0; k < count; ++k) {
      double* column = N_VGetArrayPointer(yS[k]);
      for (int j = 1; j <= n; ++j) column[j - 1] = s.Columns[k][j];
    }
    sensOn = CVodeSensReInit(mem, CV_STAGGERED, yS) == CV_SUCCESS;
    return sensOn;
  }

  bool Prepare(int size, const BdfTolerances& tol) {
    if (size == n && mem) {
      if (!(tol == tolerances)) {
        CVodeSStolerances(mem, tol.Relative, tol.Absolute);
        tolerances = tol;
      }
      return true;
    }
    Free();
    if (!sun && SUNContext_Create(nullptr, &sun) != 0) return false;
    y = N_VNew_Serial(size, sun);
    a = SUNDenseMatrix(size, size, sun);
    ls = y && a ? SUNLinSol_Dense(y, a, sun) : nullptr;
    mem = CVodeCreate(CV_BDF, sun);
    if (!y || !a || !ls || !mem) {
      Free();
      return false;
    }
    N_VConst(0.0, y);
    n = size;
    tolerances = tol;
    return CVodeInit(mem, Rhs, 0.0, y) == CV_SUCCESS &&
           CVodeSetUserData(mem, this) == CV_SUCCESS &&
           CVodeSStolerances(mem, tol.Relative, tol.Absolute) == CV_SUCCESS &&
           CVodeSetLinearSolver(mem, ls, a) == CV_SUCCESS &&
           CVodeSetMaxNumSteps(mem, kBdfMaxSteps) == CV_SUCCESS &&
           CVodeSetErrHandlerFn(mem, Silent, nullptr) == CV_SUCCESS;
  }
};

BdfIntegrator::BdfIntegrator() : cv_(new Cvodes) {}

BdfIntegrator::~BdfIntegrator() {
  if (cv_->sun) {
    SUNContext sun = cv_->sun;
    cv_->Free();
    SUNContext_Free(&sun);
  }
  delete cv_;
}

SolveResult BdfIntegrator::Integrate(SolveContext& ctx, const T20Vector& parameters,
                                     const T20Vector& from, const T20Vector& to,
                                     const T50Vector& y0, T50Vector& y, StateSensitivities* s) {
  Cvodes& c = *cv_;
  const int dep = ctx.Measured.YData.DepCount;
  // Only the differential responses move; the others hold what the static section set, which
  // the right-hand side may read. Leaving them out of the system spares the dense Newton
  // matrix their rows and columns.
  const int difEq = ctx.Model.DifEqCount;
  const int n = difEq > 0 && difEq < dep ? difEq : dep;
  y = y0;
  if (to[1] == from[1]) return SolveResult::Solved;
  if (!c.Prepare(n, Tolerances)) return SolveResult::PrecisionNotReached;
  c.ctx = &ctx;
  c.arg = y0;
  c.p = parameters;
  c.x = from;
  // Going on needs the same equations at the same point in the same state, and no
  // sensitivities to start anew.
  bool goOn = !s && !c.sensOn && c.haveEnd && c.endX == from && c.endP == parameters;
  for (int j = 1; goOn && j <= dep; ++j) goOn = c.endY[j] == y0[j];
  double* state = N_VGetArrayPointer(c.y);
  if (!goOn) {
    for (int j = 1; j <= n; ++j) state[j - 1] = y0[j];
    CVodeReInit(c.mem, from[1], c.y);
  }
  if (s && !c.StartSensitivities(*s)) return SolveResult::PrecisionNotReached;
  if (!s && c.sensOn) {
    CVodeSensToggleOff(c.mem);
    c.sensOn = false;
  }
  CVodeSetStopTime(c.mem, to[1]);
  long stepsBefore = 0, failsBefore = 0;
  CVodeGetNumSteps(c.mem, &stepsBefore);
  CVodeGetNumErrTestFails(c.mem, &failsBefore);
  double reached = from[1];
  const int flag = CVode(c.mem, to[1], c.y, &reached, CV_NORMAL);
  long steps = 0, fails = 0;
  CVodeGetNumSteps(c.mem, &steps);
  CVodeGetNumErrTestFails(c.mem, &fails);
  ctx.Stats.AcceptedSteps += steps - stepsBefore;
  ctx.Stats.RejectedSteps += fails - failsBefore;
  for (int j = 1; j <= n; ++j) y[j] = state[j - 1];
  if (s && flag >= 0) {
    double at = 0;
    CVodeGetSens(c.mem, &at, c.yS);
    for (int k = 0; k < c.sensCount; ++k) {
      const double* column = N_VGetArrayPointer(c.yS[k]);
      for (int j = 1; j <= n; ++j) s->Columns[k][j] = column[j - 1];
    }
  }
  c.ctx = nullptr;
  c.haveEnd = flag >= 0 && !s;
  if (flag >= 0) {
    c.endX = from;  // the other independent variables were held at from's
    c.endX[1] = to[1];
    c.endY = y;
    c.endP = parameters;
    return SolveResult::Solved;
  }
  if (flag == CV_RHSFUNC_FAIL || flag == CV_FIRST_RHSFUNC_ERR || flag == CV_REPTD_RHSFUNC_ERR ||
      flag == CV_UNREC_RHSFUNC_ERR)
    return SolveResult::ModelFault;
  ++ctx.Stats.PrecisionFailures;
  if (ctx.ShowIntegrationErrors) {
    char* name = CVodeGetReturnFlagName(flag);  // malloc'ed by CVODES
    ctx.Log.AddMessage(FillPlaceholders(kBdfFails, {name ? name : "?", FormatGeneral(reached, 8)}));
    std::free(name);
  }
  return SolveResult::PrecisionNotReached;
}

}  // namespace zelk
