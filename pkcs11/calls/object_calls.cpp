// Creating, destroying, reading, changing and finding objects.
#include "calls/calls.h"
#include "common/token_shape.h"
#include "module/module.h"
#include "objects/copy_template.h"
#include "objects/key_attributes.h"
#include "objects/object_templates.h"
#include "token/dal_results.h"

namespace p11::calls {
namespace {

// Changes on the token need a read-write session and the user's login.
CK_RV mayChangeToken(const Module& module, const Session& session) {
  if (!session.readWrite()) return CKR_SESSION_READ_ONLY;
  return module.login.user() ? CKR_OK : CKR_USER_NOT_LOGGED_IN;
}

// A certificate or data object made by C_CreateObject or C_CopyObject: a
// session object, or one in an object file of the token.
CK_RV storeObject(Module& module, Session& session, const NewObject& object,
                  CK_OBJECT_HANDLE& handle) {
  if (!object.onToken) {
    if (object.isPrivate && !module.login.user()) return CKR_USER_NOT_LOGGED_IN;
    handle =
        module.objects.createSessionObject(session.handle, object.attributes, object.isPrivate);
    return CKR_OK;
  }
  if (const CK_RV rv = mayChangeToken(module, session); rv != CKR_OK) return rv;
  TokenLock lock(module.tokenMutex());
  return module.objects.createTokenObject(lock, module.login, object.attributes, object.isPrivate,
                                          handle);
}

CK_RV createFileObject(Module& module, Session& session, const Template& tmpl,
                       CK_OBJECT_CLASS objectClass, CK_OBJECT_HANDLE& handle) {
  NewObject object;
  if (const CK_RV rv = newObjectFrom(tmpl, objectClass, object); rv != CKR_OK) return rv;
  return storeObject(module, session, object, handle);
}

// An RSA private key in CRT form goes into the token's next key-pair slot.
CK_RV importPrivateKey(Module& module, Session& session, const Template& tmpl,
                       CK_OBJECT_HANDLE& handle) {
  if (const CK_RV rv = mayChangeToken(module, session); rv != CKR_OK) return rv;
  std::optional<CK_ULONG> keyType;
  if (const CK_RV rv = tmpl.ulong(CKA_KEY_TYPE, keyType); rv != CKR_OK) return rv;
  if (!keyType) return CKR_TEMPLATE_INCOMPLETE;
  KeyPairRequest request;
  CrtKey key;
  if (const CK_RV rv = importRequestFrom(tmpl, request, key); rv != CKR_OK) return rv;
  TokenLock lock(module.tokenMutex());
  if (const CK_RV rv = module.login.ensureUserOnToken(lock); rv != CKR_OK) return rv;
  if (const CK_RV rv = module.objects.checkWritable(lock); rv != CKR_OK) return rv;
  int slot = common::kKeyPairSlots;
  if (const std::int32_t rv = importKeyPair(lock, key, slot); rv != NORV_DAL_OK)
    return keyPairFailure(rv, slot);
  const SlotKey* stored = module.objects.slotKey(lock, slot);
  if (stored == nullptr || stored->modulus != key.modulus) return CKR_DEVICE_ERROR;
  if (const CK_RV rv = module.objects.recordKeyPair(
          lock, module.login, keyEntryFor(request, slot, stored->modulus, false));
      rv != CKR_OK)
    return rv;
  handle = privateKeyHandle(slot);
  return CKR_OK;
}

// The object as the application may see it, with what the token holds of
// it read; null when there is no such object, rv saying why.
const Object* readyObject(Module& module, CK_OBJECT_HANDLE handle, CK_RV& rv) {
  rv = CKR_OBJECT_HANDLE_INVALID;
  const Object* object = module.lookUp(handle, false);
  if (object == nullptr) return nullptr;
  rv = CKR_OK;
  if (object->complete) return object;
  {
    TokenLock lock(module.tokenMutex());
    rv = module.objects.materialize(lock, module.login, handle);
  }
  if (rv != CKR_OK) return nullptr;
  object = module.objects.find(handle, module.login.user());
  if (object == nullptr) rv = CKR_OBJECT_HANDLE_INVALID;  // it did not read as an object
  return object;
}

std::span<const CK_ATTRIBUTE_TYPE> secretsOf(const Object& object) {
  if (object.kind == ObjectKind::PrivateKey) return kPrivateKeySecrets;
  return {};
}

}  // namespace

CK_RV CreateObject(CK_SESSION_HANDLE h, CK_ATTRIBUTE_PTR tmpl, CK_ULONG count,
                   CK_OBJECT_HANDLE_PTR object) {
  return withSession(h, [&](Module& module, Session& session) -> CK_RV {
    if (object == nullptr) return CKR_ARGUMENTS_BAD;
    const Template t(tmpl, count);
    if (const CK_RV rv = t.check(); rv != CKR_OK) return rv;
    std::optional<CK_ULONG> objectClass;
    if (const CK_RV rv = t.ulong(CKA_CLASS, objectClass); rv != CKR_OK) return rv;
    if (!objectClass) return CKR_TEMPLATE_INCOMPLETE;
    switch (*objectClass) {
      case CKO_DATA:
      case CKO_CERTIFICATE: return createFileObject(module, session, t, *objectClass, *object);
      case CKO_PRIVATE_KEY: return importPrivateKey(module, session, t, *object);
      default: return CKR_ATTRIBUTE_VALUE_INVALID;
    }
  });
}

// Certificates and data objects copy; key pairs do not (CKA_COPYABLE is
// false), since the token's key-pair slots cannot be duplicated.
CK_RV CopyObject(CK_SESSION_HANDLE h, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_PTR tmpl,
                 CK_ULONG count, CK_OBJECT_HANDLE_PTR newObject) {
  return withSession(h, [&](Module& module, Session& session) -> CK_RV {
    if (newObject == nullptr) return CKR_ARGUMENTS_BAD;
    CK_RV found = CKR_OK;
    const Object* source = readyObject(module, object, found);
    if (source == nullptr) return found;
    if (!source->attributes.boolOr(CKA_COPYABLE, false)) return CKR_ACTION_PROHIBITED;
    NewObject copy;
    if (const CK_RV rv = copyFrom(Template(tmpl, count), source->attributes, copy); rv != CKR_OK)
      return rv;
    return storeObject(module, session, copy, *newObject);
  });
}

CK_RV DestroyObject(CK_SESSION_HANDLE h, CK_OBJECT_HANDLE handle) {
  return withSession(h, [&](Module& module, Session& session) -> CK_RV {
    CK_RV found = CKR_OK;
    const Object* object = readyObject(module, handle, found);
    if (object == nullptr) return found;
    if (!object->attributes.boolOr(CKA_DESTROYABLE, true)) return CKR_ACTION_PROHIBITED;
    if (object->kind == ObjectKind::Session) {
      module.objects.eraseSessionObject(handle);
      return CKR_OK;
    }
    if (const CK_RV rv = mayChangeToken(module, session); rv != CKR_OK) return rv;
    TokenLock lock(module.tokenMutex());
    return module.objects.destroy(lock, module.login, *object);
  });
}

CK_RV GetObjectSize(CK_SESSION_HANDLE h, CK_OBJECT_HANDLE handle, CK_ULONG_PTR size) {
  return withSession(h, [&](Module& module, Session&) -> CK_RV {
    if (size == nullptr) return CKR_ARGUMENTS_BAD;
    CK_RV found = CKR_OK;
    const Object* object = readyObject(module, handle, found);
    if (object == nullptr) return found;
    *size = 0;
    for (const auto& [type, value] : object->attributes.all())
      *size += static_cast<CK_ULONG>(value.size());
    return CKR_OK;
  });
}

CK_RV GetAttributeValue(CK_SESSION_HANDLE h, CK_OBJECT_HANDLE handle, CK_ATTRIBUTE_PTR tmpl,
                        CK_ULONG count) {
  return withSession(h, [&](Module& module, Session&) -> CK_RV {
    if ((tmpl == nullptr && count != 0) || count > kMaxTemplateEntries) return CKR_ARGUMENTS_BAD;
    CK_RV found = CKR_OK;
    const Object* object = readyObject(module, handle, found);
    if (object == nullptr) return found;
    return object->attributes.copyOut(std::span(tmpl, count), secretsOf(*object));
  });
}

CK_RV SetAttributeValue(CK_SESSION_HANDLE h, CK_OBJECT_HANDLE handle, CK_ATTRIBUTE_PTR tmpl,
                        CK_ULONG count) {
  return withSession(h, [&](Module& module, Session& session) -> CK_RV {
    CK_RV found = CKR_OK;
    const Object* object = readyObject(module, handle, found);
    if (object == nullptr) return found;
    if (!object->attributes.boolOr(CKA_MODIFIABLE, true)) return CKR_ACTION_PROHIBITED;
    std::optional<Bytes> label;
    std::optional<Bytes> id;
    const bool isKey =
        object->kind == ObjectKind::PublicKey || object->kind == ObjectKind::PrivateKey;
    if (const CK_RV rv =
            labelAndIdFrom(Template(tmpl, count), object->attributes, isKey, label, id);
        rv != CKR_OK)
      return rv;
    if (!label && !id) return CKR_OK;
    if (object->kind != ObjectKind::Session)
      if (const CK_RV rv = mayChangeToken(module, session); rv != CKR_OK) return rv;
    TokenLock lock(module.tokenMutex());
    return module.objects.setLabelAndId(lock, module.login, *object, label, id);
  });
}

CK_RV FindObjectsInit(CK_SESSION_HANDLE h, CK_ATTRIBUTE_PTR tmpl, CK_ULONG count) {
  return withSession(h, [&](Module& module, Session& session) -> CK_RV {
    if (session.find) return CKR_OPERATION_ACTIVE;
    const Template t(tmpl, count);
    if (const CK_RV rv = t.checkValues(); rv != CKR_OK) return rv;
    {
      // Listing every object needs only the directory and the key slots;
      // a template may need what the token holds of some.
      TokenLock lock(module.tokenMutex());
      CK_RV rv = module.objects.refresh(lock);
      if (rv == CKR_OK) rv = module.objects.materializeFor(lock, module.login, t.all());
      if (rv != CKR_OK) return rv;
    }
    FindOperation find;
    for (const Object* object : module.objects.visible(module.login.user()))
      if (object->attributes.matches(t.all())) find.found.push_back(object->handle);
    session.find = std::move(find);
    return CKR_OK;
  });
}

CK_RV FindObjects(CK_SESSION_HANDLE h, CK_OBJECT_HANDLE_PTR objects, CK_ULONG max,
                  CK_ULONG_PTR count) {
  return withSession(h, [&](Module&, Session& session) -> CK_RV {
    if (!session.find) return CKR_OPERATION_NOT_INITIALIZED;
    if (objects == nullptr || count == nullptr) return CKR_ARGUMENTS_BAD;
    FindOperation& find = *session.find;
    *count = 0;
    while (*count < max && find.next < find.found.size())
      objects[(*count)++] = find.found[find.next++];
    return CKR_OK;
  });
}

CK_RV FindObjectsFinal(CK_SESSION_HANDLE h) {
  return withSession(h, [&](Module&, Session& session) -> CK_RV {
    if (!session.find) return CKR_OPERATION_NOT_INITIALIZED;
    session.find.reset();
    return CKR_OK;
  });
}

}  // namespace p11::calls
