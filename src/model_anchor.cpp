// Keeps the model library non-empty while its folders fill up.
namespace zandrel {
int modelLibraryAnchor()
{
    return 0;
}
} // namespace zandrel
