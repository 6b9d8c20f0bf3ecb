// A DLL that no Windows system ships, for the import check's own test.
extern "C" __declspec(dllexport) int QvnProbeValue() {
    return 7;
}
