#include "app/window/program_windows.h"

#include "app/window/tform1.h"
#include "app/window/tform7.h"
#include "filter/window/tform2.h"
#include "lookup/window/tform4.h"
#include "lookup/window/tform5.h"
#include "lookup/window/tform6.h"
#include "report/window/tform3.h"

namespace {

template <typename Window>
void Destroy(Window*& window)
{
    delete window;
    window = nullptr;
}

} // namespace

void CreateWindows(const std::string& adapter)
{
    Form1 = new TForm1(adapter);
    Form2 = new TForm2;
    Form3 = new TForm3;
    Form4 = new TForm4;
    Form5 = new TForm5;
    Form6 = new TForm6;
    Form7 = new TForm7;
}

void DestroyWindows()
{
    Destroy(Form7);
    Destroy(Form6);
    Destroy(Form5);
    Destroy(Form4);
    Destroy(Form3);
    Destroy(Form2);
    Destroy(Form1);
}
