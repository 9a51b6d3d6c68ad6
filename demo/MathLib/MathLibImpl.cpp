extern "C" __declspec(dllexport) double Square(double x)
{
    return x * x;
}
