// The program of the link checks: it only has to link. Each check puts a
// whole layer library into it, so every symbol the library uses must come
// from the layers below it.
int main()
{
    return 0;
}
