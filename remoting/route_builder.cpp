#include "remoting/route_builder.h"

namespace Zarvo {

RouteBuilder& RouteBuilder::Description(std::string_view text) {
    function_.Description(text);
    return *this;
}

RouteBuilder& RouteBuilder::Help(std::string_view text) {
    function_.Help(text);
    return *this;
}

RouteBuilder& RouteBuilder::NameSpace(std::string_view text) {
    function_.NameSpace(text);
    return *this;
}

RouteBuilder& RouteBuilder::Tag(std::string_view tag) {
    function_.Tag(tag);
    return *this;
}

RouteBuilder& RouteBuilder::Tags(std::initializer_list<std::string_view> tags) {
    function_.Tags(tags);
    return *this;
}

RouteBuilder& RouteBuilder::ThreadSafe(bool threadSafe) {
    function_.ThreadSafe(threadSafe);
    return *this;
}

namespace RouteDetail {

RouteBuilder DeclareRoute(HttpBaseTransport& transport, FunctionBuilder function, const RouteShape& shape,
                          std::unique_ptr<BindingInvoker> invoker) {
    for (size_t i = 0; i < shape.declarations.size(); ++i) {
        const ArgumentDeclaration& declaration = shape.declarations[i];
        function.Argument(declaration.name, shape.argumentTypes[i], declaration.description, declaration.optional);
    }
    function.Returns(shape.returns);
    RemotingBinding& binding = transport.CreateBinding(*function.Descriptor());
    for (size_t i = 0; i < shape.declarations.size(); ++i)
        binding.argumentLocations[i] = shape.declarations[i].location;
    binding.invoker = std::move(invoker);
    binding.method = shape.method;
    binding.methodName = shape.method == Method::Other ? shape.methodName : std::string_view();
    binding.SetPath(shape.path);
    return RouteBuilder(function, &binding);
}

}  // namespace RouteDetail
}  // namespace Zarvo
