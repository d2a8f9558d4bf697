// Keeps the GUI library non-empty while its folders fill up.
namespace zandrel {
int guiLibraryAnchor()
{
    return 0;
}
} // namespace zandrel
