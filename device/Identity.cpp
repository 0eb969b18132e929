#include "device/Identity.h"

#include "lang/Texts.h"

ModbusResult ReadDeviceIdentity(DriverLink& link, uint8_t slave, DeviceIdentity& identity) {
  DeviceIdentity read;
  const ModbusResult result = link.ReadDeviceInfo(slave, read.info);
  if (result != ResultSuccess) return result;
  read.texts = fields::DeviceInfoTexts(read.info);
  std::vector<IdentificationObject> objects;
  read.objectsResult = link.ReadDeviceIdentificationObjects(slave, objects);
  for (IdentificationObject& object : objects) {
    read.objects.push_back({object.id, object.name, std::move(object.value)});
  }
  identity = std::move(read);
  return ResultSuccess;
}

std::string DeviceIdentity::ObjectsAbsentReason() const {
  return ObjectsAbsent() ? lang::Fill(lang::Tr("读取标识对象: {1}"), {ResultText(objectsResult)}) : std::string();
}
