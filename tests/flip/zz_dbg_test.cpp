#include "FlipTestKit.h"
TEST(Dbg, X) {
  LoopScope s;
  TProbeLabel a, b;
  for (TProbeLabel* l : {&a, &b}) {
    l->SetBounds(0, 0, 120, 40);
    l->Font().SetName("Liberation Sans");
    l->Font().SetHeight(-24);
    l->Font().SetColor(clYellow);
    l->SetColor(clNavy);
    l->SetCaption("Old");
  }
  b.SetAutoAnimate(false);
  s.Loop.AdvanceTime(5000);
  b.SetCurrentFrame(10);
  s.Loop.AdvanceTime(0);
  printf("leaving diff: %s\n", PixelDiff(a.LeavingImage(), b.LeavingImage()).c_str());
  printf("arriving diff: %s\n", PixelDiff(a.ArrivingImage(), b.ArrivingImage()).c_str());
  printf("surface diff: %s\n", PixelDiff(a.Surface(), b.Surface()).c_str());
  a.LeavingImage().SaveToFile("/tmp/a_leave.bmp");
  b.LeavingImage().SaveToFile("/tmp/b_leave.bmp");
}
